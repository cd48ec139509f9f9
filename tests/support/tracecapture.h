// Captures the process-wide trace for the lifetime of a test and restores
// tracing to off afterwards.
#ifndef MERVIL_TESTS_TRACECAPTURE_H
#define MERVIL_TESTS_TRACECAPTURE_H

#include <algorithm>
#include <string>
#include <vector>

#include "zeptrace.h"

class TraceCapture {
public:
    TraceCapture() {
        ZEPTrace::instance->setComponentMask(0xFFFFFFFFu);
        ZEPTrace::instance->setLevelMask(0xFFFFFFFFu);
        ZEPTrace::instance->setSink(&sink_);
        ZEPTrace::instance->setOn(true);
    }
    ~TraceCapture() {
        ZEPTrace::instance->setOn(false);
        ZEPTrace::instance->setSink(nullptr);
        ZEPTrace::instance->setComponentMask(0xFFFFFFFFu);
        ZEPTrace::instance->setLevelMask(0xFFFFFFFFu);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<ZEPTraceRecord> records() const { return sink_.records(); }
    void clear() { sink_.clear(); }

    // Texts of the records written at `level`, in order.
    std::vector<std::string> texts(unsigned int level) const {
        std::vector<std::string> result;
        for (const ZEPTraceRecord& r : sink_.records())
            if (r.level == level) result.push_back(r.text);
        return result;
    }

    bool contains(unsigned int level, const std::string& text) const {
        std::vector<std::string> all = texts(level);
        return std::find(all.begin(), all.end(), text) != all.end();
    }

private:
    ZEPTraceMemorySink sink_;
};

#endif
