// While it lives, the toolkit's trace is on and writes to stderr.
#ifndef KEYDB_TRACETOSTDERR_H
#define KEYDB_TRACETOSTDERR_H

#include <iostream>

#include "zeptrace.h"

class TraceToStderr {
public:
    TraceToStderr() {
        ZEPTrace::instance->setSink(&sink_);
        ZEPTrace::instance->setOn(true);
    }
    ~TraceToStderr() {
        ZEPTrace::instance->setOn(false);
        ZEPTrace::instance->setSink(nullptr);
    }
    TraceToStderr(const TraceToStderr&) = delete;
    TraceToStderr& operator=(const TraceToStderr&) = delete;

private:
    ZEPTraceStreamSink sink_{std::cerr};
};

#endif
