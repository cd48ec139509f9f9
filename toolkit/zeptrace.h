// Process-wide tracing: one trace object with an on/off switch, a component
// mask and a level mask. Records go to a sink that the host chooses.
#ifndef MERVIL_ZEPTRACE_H
#define MERVIL_ZEPTRACE_H

#include <atomic>
#include <cstddef>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

struct ZEPTraceRecord {
    std::string file;  // source file base name; empty for exit records
    int line = 0;
    unsigned int level = 0;
    std::string text;
};

// Receives the records the trace writes. Calls are serialised by the trace.
class ZEPTraceSink {
public:
    virtual ~ZEPTraceSink() = default;
    virtual void record(const ZEPTraceRecord& record) = 0;
};

// Writes one line per record to a stream (stderr or a file).
class ZEPTraceStreamSink : public ZEPTraceSink {
public:
    explicit ZEPTraceStreamSink(std::ostream& out) : out_(out) {}
    void record(const ZEPTraceRecord& record) override;

private:
    std::ostream& out_;
};

// Keeps the records in memory, for tests.
class ZEPTraceMemorySink : public ZEPTraceSink {
public:
    void record(const ZEPTraceRecord& record) override;
    std::vector<ZEPTraceRecord> records() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<ZEPTraceRecord> records_;
};

class ZEPTrace {
public:
    static constexpr unsigned int LEVEL_ENTRY = 0x80000000u;
    static constexpr unsigned int LEVEL_EXIT = 0x40000000u;
    static constexpr unsigned int LEVEL_INFO = 1u;

    // The process-wide trace object; never null.
    static ZEPTrace* const instance;

    void setOn(bool on) { on_ = on; }
    bool isOn() const { return on_; }
    void setComponentMask(unsigned int mask) { components_ = mask; }
    void setLevelMask(unsigned int mask) { levels_ = mask; }
    // The sink is not owned; null discards every record.
    void setSink(ZEPTraceSink* sink);

    bool isActive(unsigned int component, unsigned int level) const;
    // Writes a record when tracing is on and a sink is set; returns whether
    // it was written.
    bool write(const char* file, int line, unsigned int level, const char* text, size_t length);
    // An informational record, written only when `component` and the
    // informational level are active.
    void info(unsigned int component, const char* file, int line, const std::string& text);

private:
    std::atomic<bool> on_{false};
    std::atomic<unsigned int> components_{0xFFFFFFFFu};
    std::atomic<unsigned int> levels_{0xFFFFFFFFu};
    std::mutex mutex_;
    ZEPTraceSink* sink_ = nullptr;
};

// Entry record on construction, exit record on destruction (exceptions
// included), the exit only when the entry was written.
class ZEPTraceBracket {
public:
    ZEPTraceBracket(unsigned int component, const char* file, int line, const char* label);
    ~ZEPTraceBracket();
    ZEPTraceBracket(const ZEPTraceBracket&) = delete;
    ZEPTraceBracket& operator=(const ZEPTraceBracket&) = delete;

private:
    unsigned int component_;
    const char* label_;
    bool entered_ = false;
};

// The base name of a source path without directory and extension, computed
// at compile time.
template <size_t N>
struct ZEPFileBaseName {
    char name[N] = {};
    constexpr ZEPFileBaseName(const char (&path)[N]) {
        size_t start = 0, end = N - 1;
        for (size_t i = 0; i + 1 < N; ++i)
            if (path[i] == '/' || path[i] == '\\') start = i + 1;
        for (size_t i = N - 1; i > start; --i)
            if (path[i - 1] == '.') {
                end = i - 1;
                break;
            }
        for (size_t i = start; i < end; ++i) name[i - start] = path[i];
    }
};

#define ZEP_FILE_BASE                                                          \
    ([]() -> const char* {                                                     \
        static constexpr ZEPFileBaseName<sizeof(__FILE__)> zepFileBase{__FILE__}; \
        return zepFileBase.name;                                               \
    }())

// Source position for exceptions and trace records: base name and line.
#define ZEP_HERE ZEP_FILE_BASE, __LINE__

#define ZEP_TRACE_CONCAT2(a, b) a##b
#define ZEP_TRACE_CONCAT(a, b) ZEP_TRACE_CONCAT2(a, b)
#define ZEP_TRACE(component, label) \
    ZEPTraceBracket ZEP_TRACE_CONCAT(zepTraceBracket, __LINE__)((component), ZEP_HERE, (label))
#define ZEP_TRACE_INFO(component, text) ZEPTrace::instance->info((component), ZEP_HERE, (text))

#endif
