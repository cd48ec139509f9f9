// Marks what the module library exports. The module is built with hidden
// symbols, so only the functions and data marked here can be found (or
// interposed) by name: the date-time functions, the build notices and the
// host diagnostics.
#ifndef MERVIL7_MODULEEXPORT_H
#define MERVIL7_MODULEEXPORT_H

#if defined(_WIN32)
// The DLL exports what its .def file lists, under plain names; dllexport
// would add the C++ functions' decorated names as well.
#define MERVIL7_EXPORT
#else
#define MERVIL7_EXPORT __attribute__((visibility("default")))
#endif

#endif
