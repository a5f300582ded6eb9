// A pseudo-terminal for the tests that play the terminal: the far (master)
// side is the test's, the near (slave) side the console's. Made with the
// POSIX calls that Linux, macOS and the BSDs all have.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

#include "platform/posix/terminal_sys.h"

namespace pelorin::platform::testing {

class PseudoTerminal {
  public:
    PseudoTerminal(unsigned short rows, unsigned short cols) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        const char* name = ::ptsname(master_);
        if (name == nullptr) return;
        name_ = name;
        slave_ = ::open(name_.c_str(), O_RDWR | O_NOCTTY);
        const winsize size{rows, cols, 0, 0};
        if (slave_ >= 0) (void)::ioctl(slave_, TIOCSWINSZ, &size);
    }
    ~PseudoTerminal() {
        close_master();
        if (slave_ >= 0) ::close(slave_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool opened() const { return master_ >= 0 && slave_ >= 0; }
    int master() const { return master_; }
    int slave() const { return slave_; }
    // The near side's device, which /dev/tty is to a process whose
    // controlling terminal this is.
    const std::string& slave_name() const { return name_; }

    void close_master() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string name_;
};

// Whether `fd` has something to read within `ms` milliseconds.
inline bool readable_within(int fd, int ms) {
    return wait_for_descriptor(fd, false, ms, nullptr) > 0;
}

}  // namespace pelorin::platform::testing
