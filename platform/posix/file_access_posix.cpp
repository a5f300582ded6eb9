#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_access.h"

namespace pelorin::platform {

const std::string_view FOLDER_SEPARATORS = "/";

namespace {

FileKind kind_of_mode(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::regular;
    if (S_ISDIR(mode)) return FileKind::folder;
    if (S_ISLNK(mode)) return FileKind::link;
    if (S_ISFIFO(mode)) return FileKind::fifo;
    if (S_ISSOCK(mode)) return FileKind::socket;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::device;
    return FileKind::other;
}

FileIdentity identity_of(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace

PathKind kind_of(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {FileKind::other, errno};
    return {kind_of_mode(info.st_mode), 0};
}

struct FolderEntries::State {
    DIR* folder = nullptr;
    std::string path;
};

FolderEntries::FolderEntries(const std::string& path) : state_(std::make_unique<State>()) {
    state_->path = path;
    state_->folder = ::opendir(path.c_str());
    if (state_->folder == nullptr) error_ = errno;
}

FolderEntries::~FolderEntries() {
    if (state_->folder != nullptr) ::closedir(state_->folder);
}

std::optional<FileIdentity> FolderEntries::identity() const {
    struct stat info {};
    if (state_->folder == nullptr || ::fstat(::dirfd(state_->folder), &info) != 0)
        return std::nullopt;
    return identity_of(info);
}

bool FolderEntries::next(std::string& name, FileKind& kind) {
    if (state_->folder == nullptr) return false;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(state_->folder);
        if (entry == nullptr) {
            error_ = errno;
            return false;
        }
        const std::string_view found = entry->d_name;
        if (found == "." || found == "..") continue;
        name = found;
        switch (entry->d_type) {
            case DT_REG:
                kind = FileKind::regular;
                return true;
            case DT_DIR:
                kind = FileKind::folder;
                return true;
            case DT_LNK:
                kind = FileKind::link;
                return true;
            case DT_FIFO:
                kind = FileKind::fifo;
                return true;
            case DT_SOCK:
                kind = FileKind::socket;
                return true;
            case DT_CHR:
            case DT_BLK:
                kind = FileKind::device;
                return true;
            default:
                break;
        }
        // Some file systems do not say: asked without following a link.
        struct stat info {};
        const std::string path = state_->path + '/' + name;
        kind = ::lstat(path.c_str(), &info) == 0 ? kind_of_mode(info.st_mode) : FileKind::other;
        return true;
    }
}

RegularFile::~RegularFile() {
    close();
}

void RegularFile::close() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
}

int RegularFile::open_looked_at(const std::string& path, FileKind& kind) {
    // Not blocking, in case a FIFO took the file's place since it was
    // looked at; what is opened is then looked at again.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    kind = kind_of_mode(info.st_mode);
    if (kind != FileKind::regular) {
        ::close(fd);
        return 0;
    }
    handle_ = fd;
    identity_ = identity_of(info);
    links_ = static_cast<std::uint64_t>(info.st_nlink);
    size_ = static_cast<std::uint64_t>(info.st_size);
    return 0;
}

long RegularFile::read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
        if (n >= 0 || errno != EINTR) return static_cast<long>(n);
    }
}

TemporaryFile::~TemporaryFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

int TemporaryFile::create() {
    const char* folder = std::getenv("TMPDIR");
    std::string name = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    name += "/pelorin-results-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return errno;
    // Nameless from the start: nothing is left behind, whatever ends the program.
    ::unlink(name.c_str());
    handle_ = fd;
    size_ = 0;
    return 0;
}

int TemporaryFile::append(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n =
            ::pwrite(static_cast<int>(handle_), data, size, static_cast<off_t>(size_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        data += n;
        size -= static_cast<std::size_t>(n);
        size_ += static_cast<std::uint64_t>(n);
    }
    return 0;
}

long TemporaryFile::read_at(std::uint64_t offset, char* buffer, std::size_t size) const {
    for (;;) {
        const ssize_t n =
            ::pread(static_cast<int>(handle_), buffer, size, static_cast<off_t>(offset));
        if (n >= 0 || errno != EINTR) return static_cast<long>(n);
    }
}

}  // namespace pelorin::platform
