// Trace component of the random-data and key-pair generators, which the
// toolkit's tracing tells apart from the module's other records (0x200).
#ifndef MERVIL7_GENERATORTRACE_H
#define MERVIL7_GENERATORTRACE_H

constexpr unsigned int GENERATOR_TRACE = 4;

#endif
