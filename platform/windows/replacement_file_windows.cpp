// The Windows steps of a replacement. The temporary is opened with the right
// to delete it shared, so that the console control handler can have it
// removed when Ctrl+C, Ctrl+Break or a closed console ends the program
// while it is written: it goes when the process's last handle to it closes.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <array>
#include <atomic>
#include <cstring>

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

// The attributes a file may be given; read-only never reaches here.
constexpr DWORD kept_attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

bool inspect_old(ReplacementFile& file) {
    const DWORD attributes = ::GetFileAttributesA(file.name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    // A link is replaced, never written through.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
    file.old_is_file = true;
    file.old_permissions = attributes & kept_attributes;
    return true;
}

Created create_temporary(ReplacementFile& file) {
    const HANDLE handle = ::CreateFileA(file.temporary.c_str(), GENERIC_WRITE | DELETE,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_EXISTS ? Created::name_taken : Created::no;
    file.removal_slot = register_for_removal(file.temporary);
    const int fd = file.removal_slot >= 0 ? ::_open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                                              _O_WRONLY | _O_BINARY)
                                          : -1;
    if (fd < 0) {
        ::CloseHandle(handle);
    } else {
        file.stream = ::_fdopen(fd, "wb");
        if (file.stream != nullptr) return Created::yes;
        ::_close(fd);
    }
    remove_temporary(file);
    return Created::no;
}

bool sync(ReplacementFile& file) {
    return ::_commit(::_fileno(file.stream)) == 0;
}

bool move_into_place(ReplacementFile& file) {
    if (file.old_is_file && file.old_permissions != 0)
        (void)::SetFileAttributesA(file.temporary.c_str(), file.old_permissions);
    if (::MoveFileExA(file.temporary.c_str(), file.name.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0)
        return false;
    forget_removal(file);
    return true;
}

void remove_temporary(ReplacementFile& file) {
    (void)::DeleteFileA(file.temporary.c_str());
    forget_removal(file);
}

unsigned long process_number() {
    return ::GetCurrentProcessId();
}

}  // namespace pelorin::platform::replacement_steps
