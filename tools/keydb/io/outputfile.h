// Where a command's output goes: standard output, or the file --out names.
// A file is replaced in one step (see ReplacementFile): a symlink at the
// target is replaced, never followed, the new file is 0600, and a failure
// leaves the old file as it was. What is no file of a folder is written in
// place: a device such as /dev/null or /dev/tty, a FIFO, a socket, and the
// names of open descriptors (/dev/stderr, /dev/fd/N, /proc/self/fd/N).
#ifndef KEYDB_OUTPUTFILE_H
#define KEYDB_OUTPUTFILE_H

#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "io/replacementfile.h"
#include "zepbuffer.h"

class OutputFile {
public:
    // "", "-" and "/dev/stdout" name standard output. A file that cannot be
    // written (a folder, a folder that does not exist) is refused here, so
    // that a command can open its output before it does its work. Failures
    // throw std::runtime_error "cannot write PATH: REASON".
    explicit OutputFile(const std::string& path);

    bool isStandardOutput() const;
    void write(std::string_view bytes);
    void write(const ZEPBuffer& bytes);
    // Puts the output in place; a file not committed keeps its old contents.
    void commit();

private:
    std::string what_;
    std::optional<ReplacementFile> file_;
    std::ofstream inPlace_;
    std::ostream* stream_ = nullptr;
};

// A whole output at once: OutputFile(path), write, commit.
void writeOutputFile(const std::string& path, std::string_view bytes);
void writeOutputFile(const std::string& path, const ZEPBuffer& bytes);

#endif
