// Files a program reads in bulk (pelorin-results): what a path names, the
// entries of a folder, a regular file opened so that opening never waits, and
// a temporary file for what does not fit in memory. Failures are errno values
// on every system, so that messages read alike everywhere. One implementation
// per system, in platform/posix/ and platform/windows/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pelorin::platform {

// What a path names. `link` is only what a folder's entry says of a symbolic
// link (or a Windows junction), which is not looked through; a path itself is
// looked at through its links.
enum class FileKind { regular, folder, link, fifo, socket, device, other };

// Which file it is: the same for every name of one file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The characters that end a folder's name in a path: '/', and '\' on Windows.
extern const std::string_view FOLDER_SEPARATORS;

// What `path` names, its links followed; `error` (an errno value) when that
// cannot be told.
struct PathKind {
    FileKind kind = FileKind::other;
    int error = 0;
};
PathKind kind_of(const std::string& path);

// The entries of one folder, in the order the system keeps them; "." and ".."
// are left out.
class FolderEntries {
  public:
    explicit FolderEntries(const std::string& path);
    ~FolderEntries();
    FolderEntries(const FolderEntries&) = delete;
    FolderEntries& operator=(const FolderEntries&) = delete;

    // Why the folder could not be opened or read on (errno); 0 while all is well.
    int error() const { return error_; }
    // The folder itself, to tell a folder met again inside itself; nothing
    // where the system cannot say.
    std::optional<FileIdentity> identity() const;
    // The next entry's name and kind; false at the end or on an error.
    bool next(std::string& name, FileKind& kind);

  private:
    struct State;
    std::unique_ptr<State> state_;
    int error_ = 0;
};

// A regular file opened for reading. Whatever else a path names (a FIFO, a
// socket, a device, a folder) is refused without being opened in a way that
// could wait or act on it.
class RegularFile {
  public:
    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // Opens `path`: 0, or an errno value. When the path names no regular
    // file, nothing stays open and `kind` says what it names (the caller may
    // know it is regular already, which saves a look).
    int open(const std::string& path, FileKind& kind, bool known_regular);
    void close();

    FileIdentity identity() const { return identity_; }
    // How many names the file has in folders.
    std::uint64_t links() const { return links_; }
    std::uint64_t size() const { return size_; }
    // Up to `size` bytes: their count, 0 at the end, -1 on a failure (errno).
    long read(char* buffer, std::size_t size);

  private:
    // Opens what `path` names once it was found a regular file, and looks again.
    int open_looked_at(const std::string& path, FileKind& kind);

    std::intptr_t handle_ = -1;  // a descriptor, or a Windows HANDLE
    FileIdentity identity_;
    std::uint64_t links_ = 0;
    std::uint64_t size_ = 0;
};

// A file of the program's own, removed when it is closed or the program
// ends: written at its end, read anywhere.
class TemporaryFile {
  public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // 0, or an errno value: where TMPDIR (TEMP on Windows) says, or the system's place.
    int create();
    bool is_open() const { return handle_ != -1; }
    std::uint64_t size() const { return size_; }
    // 0, or an errno value.
    int append(const char* data, std::size_t size);
    // Up to `size` bytes from `offset`: their count, or -1 on a failure (errno).
    long read_at(std::uint64_t offset, char* buffer, std::size_t size) const;

  private:
    std::intptr_t handle_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace pelorin::platform
