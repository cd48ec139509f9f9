#include "zeptrace.h"

#include <ostream>

namespace {
// Initialised with the toolkit library, before any module that traces.
ZEPTrace processTrace;

const char* levelName(unsigned int level) {
    switch (level) {
        case ZEPTrace::LEVEL_ENTRY: return "enter";
        case ZEPTrace::LEVEL_EXIT: return "exit ";
        case ZEPTrace::LEVEL_INFO: return "info ";
        default: return "trace";
    }
}
}  // namespace

constinit ZEPTrace* const ZEPTrace::instance = &processTrace;

void ZEPTraceStreamSink::record(const ZEPTraceRecord& record) {
    out_ << "trace " << levelName(record.level) << ' ';
    if (!record.file.empty()) out_ << record.file << ':' << record.line << ' ';
    out_ << record.text << '\n';
    out_.flush();
}

void ZEPTraceMemorySink::record(const ZEPTraceRecord& record) {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(record);
}

std::vector<ZEPTraceRecord> ZEPTraceMemorySink::records() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

void ZEPTraceMemorySink::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.clear();
}

void ZEPTrace::setSink(ZEPTraceSink* sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    sink_ = sink;
}

bool ZEPTrace::isActive(unsigned int component, unsigned int level) const {
    return on_ && (components_ & component) != 0 && (levels_ & level) != 0;
}

bool ZEPTrace::write(const char* file, int line, unsigned int level, const char* text, size_t length) {
    if (!on_) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!sink_) return false;
    ZEPTraceRecord record;
    record.file = file ? file : "";
    record.line = line;
    record.level = level;
    record.text.assign(text ? text : "", text ? length : 0);
    sink_->record(record);
    return true;
}

void ZEPTrace::info(unsigned int component, const char* file, int line, const std::string& text) {
    if (isActive(component, LEVEL_INFO)) write(file, line, LEVEL_INFO, text.data(), text.size());
}

ZEPTraceBracket::ZEPTraceBracket(unsigned int component, const char* file, int line, const char* label)
    : component_(component), label_(label) {
    ZEPTrace* trace = ZEPTrace::instance;
    if (trace->isActive(component, ZEPTrace::LEVEL_ENTRY))
        entered_ = trace->write(file, line, ZEPTrace::LEVEL_ENTRY, label, std::char_traits<char>::length(label));
}

ZEPTraceBracket::~ZEPTraceBracket() {
    ZEPTrace* trace = ZEPTrace::instance;
    if (entered_ && trace->isActive(component_, ZEPTrace::LEVEL_EXIT))
        trace->write(nullptr, 0, ZEPTrace::LEVEL_EXIT, label_, std::char_traits<char>::length(label_));
}
