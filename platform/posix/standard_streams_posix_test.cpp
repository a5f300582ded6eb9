#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/standard_streams.h"

namespace pelorin::platform {
namespace {

// The one guard of the results file against taking a standard descriptor:
// whatever the program opens afterwards gets a descriptor above 2.
TEST(StandardStreams, ClosedOnesAreOpenedOnTheNullDevice) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        (void)::close(STDOUT_FILENO);
        (void)::close(STDERR_FILENO);
        open_missing_standard_streams();
        const bool open = ::fcntl(STDOUT_FILENO, F_GETFD) != -1 &&
                          ::fcntl(STDERR_FILENO, F_GETFD) != -1 &&
                          ::fcntl(STDIN_FILENO, F_GETFD) != -1;
        const int next = ::open("/dev/null", O_RDONLY);
        ::_exit(open && next > STDERR_FILENO ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace pelorin::platform
