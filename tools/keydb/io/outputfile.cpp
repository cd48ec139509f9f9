#include "io/outputfile.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "io/output.h"

namespace {

bool underProc(const std::filesystem::path& path) { return path.string().rfind("/proc/", 0) == 0; }

// /dev/stderr (a link into /proc/self/fd), /dev/fd/N and /proc/self/fd/N
// stand for a stream keydb already has, not for a file of a folder.
bool namesDescriptor(const std::filesystem::path& path) {
    std::error_code error;
    if (underProc(std::filesystem::weakly_canonical(path.parent_path(), error))) return true;
    std::filesystem::path link = std::filesystem::read_symlink(path, error);
    return !error && underProc(link);
}

bool isDevice(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ||
                                                    S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : what_(path) {
    if (path.empty() || path == "-" || path == "/dev/stdout") {
        what_ = "to standard output";
        stream_ = &std::cout;
    } else if (isDevice(path) || namesDescriptor(path)) {
        // Appending: a descriptor's file keeps what was written to it before.
        inPlace_.open(path, std::ios::binary | std::ios::app);
        if (!inPlace_.is_open()) throw std::system_error(errno, std::generic_category(), "cannot write " + path);
        stream_ = &inPlace_;
    } else {
        file_.emplace(path);
    }
}

bool OutputFile::isStandardOutput() const { return stream_ == &std::cout; }

void OutputFile::write(std::string_view bytes) {
    if (file_) {
        file_->write(bytes.data(), bytes.size());
        return;
    }
    // Stopped at the first failed write, whose reason errno still holds.
    stream_->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!*stream_) throw std::system_error(errno, std::generic_category(), "cannot write " + what_);
}

void OutputFile::write(const ZEPBuffer& bytes) {
    write(std::string_view(reinterpret_cast<const char*>(bytes.getValue()), bytes.getLength()));
}

void OutputFile::commit() {
    if (file_)
        file_->commit();
    else
        flushOrThrow(*stream_, what_);
}

void writeOutputFile(const std::string& path, std::string_view bytes) {
    OutputFile file(path);
    file.write(bytes);
    file.commit();
}

void writeOutputFile(const std::string& path, const ZEPBuffer& bytes) {
    writeOutputFile(path, std::string_view(reinterpret_cast<const char*>(bytes.getValue()), bytes.getLength()));
}
