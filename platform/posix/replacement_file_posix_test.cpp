// What only POSIX systems have: permissions and ending signals.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/testing/replacement_file_fixture.h"

namespace pelorin::platform {
namespace {

mode_t mode_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0);
    return info.st_mode;
}

TEST_F(ReplacementTest, PermissionsOfTheOldFileButItsIdBitsOrOfAPlainCreate) {
    write("old");
    ::chmod(name_.c_str(), 0604);
    ASSERT_TRUE(finish_replacement(begin_with("new")));
    EXPECT_EQ(mode_of(name_) & 07777, 0604u);
    ::chmod(name_.c_str(), 06755);
    ASSERT_TRUE(finish_replacement(begin_with("new")));
    EXPECT_EQ(mode_of(name_) & 07777, 0755u) << "no set-user-ID or set-group-ID bit";

    std::filesystem::remove(name_);
    const mode_t mask = ::umask(027);
    const bool finished = finish_replacement(begin_with("new"));
    ::umask(mask);
    ASSERT_TRUE(finished);
    EXPECT_EQ(mode_of(name_) & 07777, 0640u);
}

// (Whole-program runs end the program by every ending signal at every write.)
TEST_F(ReplacementTest, AnEndingSignalRemovesTheTemporaryThenEndsTheProcessByIt) {
    write("old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        (void)begin_with("new");
        ::raise(SIGHUP);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << status;
    EXPECT_EQ(entries(), 1);
    EXPECT_EQ(read(), "old");
}

}  // namespace
}  // namespace pelorin::platform
