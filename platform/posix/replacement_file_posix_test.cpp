// What only POSIX systems have: permissions and the handlers a process had.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/replacement_file_fixture_for_tests.h"

namespace pelorin::platform {
namespace {

using Names = std::set<std::string>;

mode_t mode_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0);
    return info.st_mode;
}

TEST_F(ReplacementTest, PermissionsOfTheOldFileOrOfAPlainCreate) {
    write(name_, "old");
    ::chmod(name_.c_str(), 0604);
    ASSERT_TRUE(finish_replacement(begin_with("new")));
    EXPECT_EQ(mode_of(name_) & 07777, 0604u);

    std::filesystem::remove(name_);
    const mode_t mask = ::umask(027);
    const bool finished = finish_replacement(begin_with("new"));
    ::umask(mask);
    ASSERT_TRUE(finished);
    EXPECT_EQ(mode_of(name_) & 07777, 0640u);
}

TEST_F(ReplacementTest, AnEndingSignalRemovesTheTemporaryThenActsAsBefore) {
    write(name_, "old");
    // A handler the process had (the terminal's) still runs; without one the
    // signal's default action ends the process.
    const struct {
        int signal;
        bool handled_before;
    } cases[] = {{SIGTERM, false}, {SIGPIPE, false}, {SIGUSR1, false}, {SIGHUP, true}};
    for (const auto& c : cases) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (c.handled_before) ::signal(c.signal, [](int) { ::_exit(42); });
            (void)begin_with("new");
            ::raise(c.signal);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (c.handled_before) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42) << status;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        }
        EXPECT_EQ(names(), Names{"RESULTS.TXT"}) << c.signal;
        EXPECT_EQ(read(name_), "old");
    }
}

}  // namespace
}  // namespace pelorin::platform
