// Files through the Windows API, with its errors told as the errno values the
// C runtime uses, so that messages read as on the other systems.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/file_access.h"

namespace pelorin::platform {

const std::string_view FOLDER_SEPARATORS = "/\\";

namespace {

int errno_of(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

int last_errno() {
    return errno_of(::GetLastError());
}

HANDLE as_handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

PathKind kind_of(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {FileKind::other, last_errno()};
    // Devices (CON, NUL) show only once opened; RegularFile refuses them then.
    return {(attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::folder : FileKind::regular, 0};
}

struct FolderEntries::State {
    HANDLE search = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA found{};
    bool pending = false;  // `found` holds an entry not yet given out
};

FolderEntries::FolderEntries(const std::string& path) : state_(std::make_unique<State>()) {
    const std::string pattern = path + "\\*";
    state_->search = ::FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &state_->found,
                                        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (state_->search == INVALID_HANDLE_VALUE)
        error_ = last_errno();
    else
        state_->pending = true;
}

FolderEntries::~FolderEntries() {
    if (state_->search != INVALID_HANDLE_VALUE) ::FindClose(state_->search);
}

// Without links followed, no folder on Windows can be met inside itself.
std::optional<FileIdentity> FolderEntries::identity() const {
    return std::nullopt;
}

bool FolderEntries::next(std::string& name, FileKind& kind) {
    for (;;) {
        if (state_->search == INVALID_HANDLE_VALUE) return false;
        if (!state_->pending && !::FindNextFileA(state_->search, &state_->found)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_NO_MORE_FILES) error_ = errno_of(error);
            return false;
        }
        state_->pending = false;
        const std::string_view found = state_->found.cFileName;
        if (found == "." || found == "..") continue;
        name = found;
        const DWORD attributes = state_->found.dwFileAttributes;
        kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FileKind::link
               : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? FileKind::folder
                                                                : FileKind::regular;
        return true;
    }
}

RegularFile::~RegularFile() {
    close();
}

void RegularFile::close() {
    if (handle_ != -1) ::CloseHandle(as_handle(handle_));
    handle_ = -1;
}

int RegularFile::open_looked_at(const std::string& path, FileKind& kind) {
    // Opening a pipe's or a device's name never waits on Windows; what was
    // opened is looked at before a byte is read.
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return last_errno();
    const DWORD type = ::GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info{};
    kind = type == FILE_TYPE_PIPE   ? FileKind::fifo
           : type == FILE_TYPE_CHAR ? FileKind::device
           : type != FILE_TYPE_DISK ? FileKind::other
                                    : FileKind::regular;
    if (kind == FileKind::regular && !::GetFileInformationByHandle(file, &info)) {
        const int error = last_errno();
        ::CloseHandle(file);
        return error;
    }
    if (kind != FileKind::regular) {
        ::CloseHandle(file);
        return 0;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    identity_ = {info.dwVolumeSerialNumber,
                 (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    links_ = info.nNumberOfLinks;
    size_ = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return 0;
}

long RegularFile::read(char* buffer, std::size_t size) {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
    if (!::ReadFile(as_handle(handle_), buffer, wanted, &got, nullptr)) {
        errno = last_errno();
        return -1;
    }
    return static_cast<long>(got);
}

TemporaryFile::~TemporaryFile() {
    if (handle_ != -1) ::CloseHandle(as_handle(handle_));
}

int TemporaryFile::create() {
    char folder[MAX_PATH + 1];
    char name[MAX_PATH + 1];
    const DWORD length = ::GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH) return last_errno();
    if (::GetTempFileNameA(folder, "plr", 0, name) == 0) return last_errno();
    // Removed by the system when its last handle closes, however the program ends.
    const HANDLE file =
        ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const int error = last_errno();
        ::DeleteFileA(name);
        return error;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    size_ = 0;
    return 0;
}

int TemporaryFile::append(const char* data, std::size_t size) {
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(size_);
        at.OffsetHigh = static_cast<DWORD>(size_ >> 32);
        DWORD written = 0;
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
        if (!::WriteFile(as_handle(handle_), data, wanted, &written, &at)) return last_errno();
        if (written == 0) return ENOSPC;
        data += written;
        size -= written;
        size_ += written;
    }
    return 0;
}

long TemporaryFile::read_at(std::uint64_t offset, char* buffer, std::size_t size) const {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
    if (!::ReadFile(as_handle(handle_), buffer, wanted, &got, &at)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF) return 0;
        errno = errno_of(error);
        return -1;
    }
    return static_cast<long>(got);
}

}  // namespace pelorin::platform
