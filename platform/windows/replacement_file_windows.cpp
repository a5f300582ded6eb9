// The Windows steps of a replacement. The temporary is opened with the right
// to delete it shared, so that the console control handler can have it
// removed when Ctrl+C, Ctrl+Break or a closed console ends the program
// while it is written: it goes when the process's last handle to it closes.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstring>
#include <string>

#include "platform/replacement_file_internal.h"

namespace pelorin::platform::replacement_steps {
namespace {

constexpr std::size_t slot_count = 8;
constexpr std::size_t longest_path = MAX_PATH;

// The control handler runs on a thread of the system's: a slot's path is
// written before the slot is marked used, and read only after.
struct Slot {
    std::atomic<bool> used{false};
    char path[longest_path] = {};
};

std::array<Slot, slot_count> slots;
std::atomic<bool> handler_installed{false};

BOOL WINAPI remove_on_console_event(DWORD) {
    for (Slot& slot : slots)
        if (slot.used.load(std::memory_order_acquire)) (void)::DeleteFileA(slot.path);
    return FALSE;  // the other handlers and the default action follow
}

int register_for_removal(const std::string& path) {
    if (path.size() >= longest_path) return -1;
    if (!handler_installed.exchange(true))
        (void)::SetConsoleCtrlHandler(remove_on_console_event, TRUE);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].used.load()) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].used.store(true, std::memory_order_release);
        return static_cast<int>(i);
    }
    return -1;
}

void forget_removal(ReplacementFile& file) {
    if (file.removal_slot >= 0)
        slots[static_cast<std::size_t>(file.removal_slot)].used.store(false);
    file.removal_slot = -1;
}

bool fail_with(ReplacementFile& file, DWORD error) {
    if (file.error == 0) file.error = static_cast<int>(error);
    return false;
}

// The attributes a file may be given; read-only never reaches here.
constexpr DWORD kept_attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

bool inspect_old(ReplacementFile& file) {
    const DWORD attributes = ::GetFileAttributesA(file.name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        note_error(file);
        return false;
    }
    // What moving a file over a directory meets.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return fail_with(file, ERROR_ACCESS_DENIED);
    // A link is replaced, never written through.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return fail_with(file, ERROR_ACCESS_DENIED);
    file.old_is_file = true;
    file.old_permissions = attributes & kept_attributes;
    return true;
}

Created create_temporary(ReplacementFile& file) {
    const HANDLE handle = ::CreateFileA(file.temporary.c_str(), GENERIC_WRITE | DELETE,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        note_error(file);
        if (file.error == ERROR_FILE_EXISTS) return Created::name_taken;
        return file.error == ERROR_ACCESS_DENIED ? Created::refused : Created::no;
    }
    file.removal_slot = register_for_removal(file.temporary);
    const int fd = file.removal_slot >= 0 ? ::_open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                                              _O_WRONLY | _O_BINARY)
                                          : -1;
    if (fd < 0) {
        (void)fail_with(file, ERROR_FILENAME_EXCED_RANGE);  // or all slots taken
        ::CloseHandle(handle);
    } else {
        file.stream = ::_fdopen(fd, "wb");
        if (file.stream != nullptr) return Created::yes;
        note_error(file);
        ::_close(fd);
    }
    remove_temporary(file);
    return Created::no;
}

bool sync(ReplacementFile& file) {
    if (::_commit(::_fileno(file.stream)) == 0) return true;
    note_error(file);
    return false;
}

// The write-through move is on the disk, the folder's entry included, when
// it returns.
bool move_into_place(ReplacementFile& file) {
    if (file.old_is_file && file.old_permissions != 0)
        (void)::SetFileAttributesA(file.temporary.c_str(), file.old_permissions);
    if (::MoveFileExA(file.temporary.c_str(), file.name.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        note_error(file);
        return false;
    }
    forget_removal(file);
    return true;
}

void remove_temporary(ReplacementFile& file) {
    (void)::DeleteFileA(file.temporary.c_str());
    forget_removal(file);
}

bool open_in_place(ReplacementFile& file) {
    const HANDLE handle = ::CreateFileA(file.name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        note_error(file);
        return false;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return fail_with(file, ERROR_ACCESS_DENIED);
    }
    file.in_place_handle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool rewrite_in_place(ReplacementFile& file) {
    const HANDLE handle = reinterpret_cast<HANDLE>(file.in_place_handle);
    const std::string& bytes = file.in_place_content;
    bool written = true;
    for (std::size_t done = 0; written && done < bytes.size();) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        written = ::WriteFile(handle, bytes.data() + done, chunk, &n, nullptr) != 0 && n > 0;
        done += n;
    }
    written = written && ::SetEndOfFile(handle) != 0 && ::FlushFileBuffers(handle) != 0;
    if (!written) note_error(file);
    if (::CloseHandle(handle) == 0 && written) {
        note_error(file);
        written = false;
    }
    file.in_place_handle = -1;
    return written;
}

void close_in_place(ReplacementFile& file) {
    if (file.in_place_handle != -1) ::CloseHandle(reinterpret_cast<HANDLE>(file.in_place_handle));
    file.in_place_handle = -1;
}

void note_error(ReplacementFile& file) {
    // A failure of the C library's stream functions leaves the system's
    // error of the call under them; a write fault when it left none.
    const DWORD error = ::GetLastError();
    if (file.error == 0) file.error = error != 0 ? static_cast<int>(error) : ERROR_WRITE_FAULT;
}

int out_of_memory_error() {
    return ERROR_NOT_ENOUGH_MEMORY;
}

std::string describe_error(int error) {
    std::array<char, 512> text{};
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error), 0, text.data(), static_cast<DWORD>(text.size()), nullptr);
    std::string words(text.data(), length);
    // The system's sentences end in a full stop and a line end.
    while (!words.empty() &&
           (words.back() == '.' || std::isspace(static_cast<unsigned char>(words.back()))))
        words.pop_back();
    return words.empty() ? "error " + std::to_string(error) : words;
}

unsigned long process_number() {
    return ::GetCurrentProcessId();
}

}  // namespace pelorin::platform::replacement_steps
