// A new version of a file, written to a temporary file of its own beside
// the target (mode 0600) and renamed over the target when complete. Readers
// see the old contents or the new, never a part; a symlink at the target is
// replaced, not followed; writers at the same time never share the
// temporary file. Until commit() the target is untouched, and a version
// never committed is removed.
#ifndef KEYDB_REPLACEMENTFILE_H
#define KEYDB_REPLACEMENTFILE_H

#include <cstddef>
#include <filesystem>

class ReplacementFile {
public:
    // Creates the temporary file. Throws std::system_error "cannot write
    // TARGET" with the system's reason, also when the target is a folder.
    explicit ReplacementFile(std::filesystem::path target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    void write(const void* bytes, std::size_t length);
    // Makes the new contents durable and renames them over the target.
    void commit();

private:
    [[noreturn]] void fail(int error) const;

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int descriptor_ = -1;
};

#endif
