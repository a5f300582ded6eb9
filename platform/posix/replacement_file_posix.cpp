#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/posix/terminal_signals.h"
#include "platform/replacement_file_internal.h"

namespace pelorin::platform::replacement_steps {
namespace {

// As many links in a row as the kernels follow before they give up (ELOOP).
constexpr int most_links = 40;

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool fail_with(ReplacementFile& file, int error) {
    errno = error;
    note_error(file);
    return false;
}

// The rule of Linux's protected links: in a sticky folder everyone may
// write (/tmp), a link is followed only when it is the user's own or the
// folder owner's; one planted there by another user could point the
// results anywhere. (Nowhere else does a link's owner matter.)
bool may_follow(const std::string& link, const struct stat& info) {
    struct stat folder {};
    if (::stat(folder_of(link).c_str(), &folder) != 0) return false;
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || info.st_uid == ::geteuid() || info.st_uid == folder.st_uid;
}

// Puts the target of the link `path` in its place, as a path from the
// current directory (a relative target is relative to the link's folder).
bool follow(std::string& path) {
    std::array<char, PATH_MAX> target{};
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) == target.size()) {
        errno = ENAMETOOLONG;
        return false;
    }
    const std::string to(target.data(), static_cast<std::size_t>(length));
    const bool beside = !to.starts_with('/') && path.find('/') != std::string::npos;
    path = beside ? folder_of(path) + "/" + to : to;
    return true;
}

// Owner first: changing it may clear the set-user and set-group bits. A
// change the process may not make leaves what it was.
void keep_old_permissions(int fd, const ReplacementFile& file) {
    (void)::fchown(fd, static_cast<uid_t>(file.old_owner), static_cast<gid_t>(file.old_group));
    (void)::fchmod(fd, static_cast<mode_t>(file.old_permissions));
}

// Creates the temporary and registers it for removal with no signal between.
int create_registered(ReplacementFile& file) {
    sigset_t before;
    hold_ending_signals(real_terminal_sys(), before);
    // A new file is a plain create, with the user's umask; one that replaces
    // a file is private until it has that file's permissions.
    const mode_t mode = file.old_is_file ? 0600 : 0666;
    const int fd =
        ::open(file.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
    const int error = errno;
    if (fd >= 0) file.removal_slot = remove_on_ending_signal(file.temporary.c_str());
    release_ending_signals(real_terminal_sys(), before);
    errno = error;
    return fd;
}

// A new entry in a folder is on the disk only once the folder is. A folder
// that cannot be opened for that cannot be synchronised: nothing to report.
bool sync_folder(ReplacementFile& file) {
    const int fd = ::open(folder_of(file.name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    if (!synced) note_error(file);
    (void)::close(fd);
    return synced;
}

bool write_at_start(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool inspect_old(ReplacementFile& file) {
    struct stat info {};
    for (int links = 0;; ++links) {
        if (::lstat(file.name.c_str(), &info) != 0) {
            if (errno == ENOENT) return true;
            return fail_with(file, errno);
        }
        if (!S_ISLNK(info.st_mode) || !may_follow(file.name, info)) break;
        if (links == most_links) return fail_with(file, ELOOP);
        if (!follow(file.name)) return fail_with(file, errno);
    }
    if (S_ISDIR(info.st_mode)) return fail_with(file, EISDIR);
    // A link not followed, a FIFO, a device or a socket is replaced, never
    // opened.
    if (!S_ISREG(info.st_mode)) return true;
    // Renaming over a file needs no right to write it: a file the user
    // could not write keeps its content.
    if (::faccessat(AT_FDCWD, file.name.c_str(), W_OK, AT_EACCESS) != 0)
        return fail_with(file, errno);
    file.old_is_file = true;
    // A copy of a program's set-user-ID or set-group-ID bits would serve no
    // results file, and could serve someone else.
    file.old_permissions = info.st_mode & 07777 & ~static_cast<mode_t>(S_ISUID | S_ISGID);
    file.old_owner = info.st_uid;
    file.old_group = info.st_gid;
    return true;
}

Created create_temporary(ReplacementFile& file) {
    const int fd = create_registered(file);
    if (fd < 0) {
        note_error(file);
        if (errno == EEXIST) return Created::name_taken;
        return errno == EACCES || errno == EPERM ? Created::refused : Created::no;
    }
    if (file.removal_slot < 0) {
        errno = ENAMETOOLONG;  // or all slots are taken
        note_error(file);
    } else {
        if (file.old_is_file) keep_old_permissions(fd, file);
        file.stream = ::fdopen(fd, "wb");
        if (file.stream != nullptr) return Created::yes;
        note_error(file);
    }
    (void)::close(fd);
    remove_temporary(file);
    return Created::no;
}

bool sync(ReplacementFile& file) {
    // A file system that cannot synchronise (EINVAL) has nothing to report.
    if (::fsync(::fileno(file.stream)) == 0 || errno == EINVAL) return true;
    note_error(file);
    return false;
}

bool move_into_place(ReplacementFile& file) {
    if (::rename(file.temporary.c_str(), file.name.c_str()) != 0) {
        note_error(file);
        return false;
    }
    keep_on_ending_signal(file.removal_slot);
    file.removal_slot = -1;
    return sync_folder(file);
}

void remove_temporary(ReplacementFile& file) {
    const int error = errno;
    (void)::unlink(file.temporary.c_str());
    keep_on_ending_signal(file.removal_slot);
    file.removal_slot = -1;
    errno = error;
}

bool open_in_place(ReplacementFile& file) {
    // Not through a link put there since, and never waiting for a FIFO's
    // reader.
    const int fd =
        ::open(file.name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail_with(file, errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        (void)::close(fd);
        return fail_with(file, EACCES);
    }
    file.in_place_handle = fd;
    return true;
}

bool rewrite_in_place(ReplacementFile& file) {
    const int fd = static_cast<int>(file.in_place_handle);
    const std::string& bytes = file.in_place_content;
    sigset_t before;
    hold_ending_signals(real_terminal_sys(), before);
    bool written = write_at_start(fd, bytes) &&
                   ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
                   (::fsync(fd) == 0 || errno == EINVAL);
    if (!written) note_error(file);
    release_ending_signals(real_terminal_sys(), before);
    if (::close(fd) != 0 && written) {
        note_error(file);
        written = false;
    }
    file.in_place_handle = -1;
    return written;
}

void close_in_place(ReplacementFile& file) {
    if (file.in_place_handle >= 0) (void)::close(static_cast<int>(file.in_place_handle));
    file.in_place_handle = -1;
}

void note_error(ReplacementFile& file) {
    if (file.error == 0) file.error = errno;
}

int out_of_memory_error() {
    return ENOMEM;
}

std::string describe_error(int error) {
    return std::strerror(error);
}

unsigned long process_number() {
    return static_cast<unsigned long>(::getpid());
}

}  // namespace pelorin::platform::replacement_steps
