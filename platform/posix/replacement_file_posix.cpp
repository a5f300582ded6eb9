#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/terminal_signals.h"
#include "platform/replacement_file_internal.h"

namespace pelorin::platform::replacement_steps {
namespace {

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

}  // namespace

bool inspect_old(ReplacementFile& file) {
    struct stat info {};
    if (::lstat(file.name.c_str(), &info) != 0) return errno == ENOENT;
    if (S_ISDIR(info.st_mode)) return false;
    // A link, a FIFO, a device or a socket is replaced, never opened.
    if (!S_ISREG(info.st_mode)) return true;
    // Renaming over a file needs no right to write it: a file the user
    // could not write keeps its content.
    if (::faccessat(AT_FDCWD, file.name.c_str(), W_OK, AT_EACCESS) != 0) return false;
    file.old_is_file = true;
    file.old_permissions = info.st_mode & 07777;
    file.old_owner = info.st_uid;
    file.old_group = info.st_gid;
    return true;
}

Created create_temporary(ReplacementFile& file) {
    const int fd = create_registered(file);
    if (fd < 0) return errno == EEXIST ? Created::name_taken : Created::no;
    if (file.removal_slot >= 0) {
        if (file.old_is_file) keep_old_permissions(fd, file);
        file.stream = ::fdopen(fd, "wb");
        if (file.stream != nullptr) return Created::yes;
    }
    (void)::close(fd);
    remove_temporary(file);
    return Created::no;
}

bool sync(ReplacementFile& file) {
    // A file system that cannot synchronise (EINVAL) has nothing to report.
    return ::fsync(::fileno(file.stream)) == 0 || errno == EINVAL;
}

bool move_into_place(ReplacementFile& file) {
    if (::rename(file.temporary.c_str(), file.name.c_str()) != 0) return false;
    keep_on_ending_signal(file.removal_slot);
    file.removal_slot = -1;
    return true;
}

void remove_temporary(ReplacementFile& file) {
    (void)::unlink(file.temporary.c_str());
    keep_on_ending_signal(file.removal_slot);
    file.removal_slot = -1;
}

unsigned long process_number() {
    return static_cast<unsigned long>(::getpid());
}

}  // namespace pelorin::platform::replacement_steps
