// The terminal console's ends on a real pseudo-terminal. A child process
// plays a shell: it leads a session on the terminal and runs a job in the
// terminal's foreground, as a shell with job control does. The job is a
// small driver of the real system console: it reads keys and reports them.
// The test plays the user and the terminal (typing Ctrl+C, Ctrl+Z, answering
// the cursor requests), sends signals, and compares the terminal's mode
// before the job with the mode after it.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/console_api.h"
#include "platform/posix/terminal_signals.h"
#include "platform/posix/testing/pseudo_terminal.h"

namespace pelorin::platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto patience = std::chrono::seconds(5);

// --- the job: the real console, driven as the key reader drives it -----------------

int job_reports = -1;

void say(ConsoleApi& c, const std::string& text) {
    std::uint32_t written = 0;
    (void)c.write_file(c.std_handle(StdHandle::output), text.data(),
                       static_cast<std::uint32_t>(text.size()), written);
}

// Signal-safe, like the key reader's handler: the close event is reported.
bool job_ctrl_handler(std::uint32_t event) {
    if (event != ctrl_event::close) return false;
    static constexpr char line[] = "close\n";
    (void)::write(job_reports, line, sizeof line - 1);
    return true;
}

struct JobOptions {
    bool ignore_hang_up = false;
    // Standard input is a file (the null device): the job draws what a
    // scripted run shows on the terminal, and ends.
    bool input_from_file = false;
};

// The transcript of a scripted run on the terminal: drawn, then the end.
[[noreturn]] void run_transcript(ConsoleApi& c) {
    ScreenBufferInfo info;
    (void)c.screen_buffer_info(c.std_handle(StdHandle::output), info);
    say(c, "[drawn]");
    std::exit(0);
}

[[noreturn]] void run_job(int reports, JobOptions options) {
    job_reports = reports;
    ::signal(SIGHUP, options.ignore_hang_up ? SIG_IGN : SIG_DFL);
    const rlimit no_core{0, 0};
    (void)::setrlimit(RLIMIT_CORE, &no_core);
    ::setenv("TERM", "xterm", 1);
    ::setenv("LC_ALL", "C", 1);
    // A process of its own, as the program is: nothing of the tests before.
    sigset_t none;
    sigemptyset(&none);
    (void)::sigprocmask(SIG_SETMASK, &none, nullptr);
    reset_platform();
    (void)set_console(make_system_console().release());
    ConsoleApi& c = console();
    if (options.input_from_file) run_transcript(c);
    const Handle in = c.std_handle(StdHandle::input);
    const Handle out = c.std_handle(StdHandle::output);
    ScreenBufferInfo info;
    (void)c.screen_buffer_info(out, info);
    (void)c.set_ctrl_handler(job_ctrl_handler, true);
    bool announced = false;
    for (;;) {
        InputEvent e;
        std::uint32_t n = 0;
        (void)c.peek_input(in, e, n);
        if (!announced) say(c, "[ready]");
        announced = true;
        if (n == 0) {
            c.sleep(25);
            continue;
        }
        (void)c.read_input(in, e, n);
        if (e.key.ch == 'q') std::exit(0);
        (void)c.screen_buffer_info(out, info);
        char text[64];
        std::snprintf(text, sizeof text, "[key %02x at %d,%d]", e.key.ch, info.cursor.x,
                      info.cursor.y);
        say(c, text);
    }
}

void report(int fd, const std::string& line) {
    const std::string text = line + "\n";
    (void)::write(fd, text.data(), text.size());
}

// The shell: leads the session, runs the job in the foreground and reports
// what becomes of it.
[[noreturn]] void run_shell(int slave, int reports, JobOptions options) {
    ::setsid();
    (void)::ioctl(slave, TIOCSCTTY, 0);
    ::signal(SIGHUP, SIG_IGN);  // the terminal's hang-up is the job's matter
    int go[2];
    if (::pipe(go) != 0) ::_exit(2);
    const pid_t job = ::fork();
    if (job == 0) {
        ::setpgid(0, 0);
        char ready = 0;
        (void)::read(go[0], &ready, 1);  // until the job has the terminal
        ::dup2(slave, 0);
        ::dup2(slave, 1);
        if (options.input_from_file) ::dup2(::open("/dev/null", O_RDONLY), 0);
        ::close(slave);
        ::close(go[0]);
        ::close(go[1]);
        run_job(reports, options);
    }
    ::setpgid(job, job);
    (void)::tcsetpgrp(slave, job);
    (void)::write(go[1], "g", 1);
    report(reports, "job " + std::to_string(job));
    for (;;) {
        int status = 0;
        if (::waitpid(job, &status, WUNTRACED | WCONTINUED) < 0) ::_exit(0);
        if (WIFSTOPPED(status)) report(reports, "stopped");
        if (WIFCONTINUED(status)) report(reports, "continued");
        if (WIFEXITED(status)) report(reports, "exited " + std::to_string(WEXITSTATUS(status)));
        if (WIFSIGNALED(status)) report(reports, "killed " + std::to_string(WTERMSIG(status)));
        if (WIFEXITED(status) || WIFSIGNALED(status)) ::_exit(0);
    }
}

// --- the test's side ---------------------------------------------------------------

class PtyJob {
  public:
    explicit PtyJob(JobOptions options = {}) {
        if (!pty_.opened()) return;
        (void)::tcgetattr(pty_.slave(), &before_);
        int pipe_fds[2];
        if (::pipe(pipe_fds) != 0) return;
        shell_ = ::fork();
        if (shell_ == 0) {
            ::close(pty_.master());
            ::close(pipe_fds[0]);
            run_shell(pty_.slave(), pipe_fds[1], options);
        }
        ::close(pipe_fds[1]);
        reports_ = pipe_fds[0];
        const std::string first = next_report();
        if (first.rfind("job ", 0) == 0) job_ = std::stoi(first.substr(4));
    }
    ~PtyJob() {
        if (job_ > 0) ::kill(job_, SIGKILL);
        if (shell_ > 0) {
            ::kill(shell_, SIGKILL);
            ::waitpid(shell_, nullptr, 0);
        }
        if (reports_ >= 0) ::close(reports_);
    }
    PtyJob(const PtyJob&) = delete;
    PtyJob& operator=(const PtyJob&) = delete;

    bool started() const { return job_ > 0; }
    pid_t job() const { return job_; }
    const termios& before() const { return before_; }
    termios now() const {
        termios mode{};
        (void)::tcgetattr(pty_.slave(), &mode);
        return mode;
    }

    // The terminal's answer to the next cursor requests.
    std::string cursor_reply = "\x1b[1;1R";

    void type(const std::string& keys) { (void)::write(pty_.master(), keys.data(), keys.size()); }

    // Reads what the job writes until `want` appears, answering its cursor
    // requests on the way. True when it did.
    bool read_until(const std::string& want) {
        const auto deadline = Clock::now() + patience;
        while (Clock::now() < deadline) {
            if (seen_.find(want, from_) != std::string::npos) {
                from_ = seen_.find(want, from_) + want.size();
                return true;
            }
            if (!testing::readable_within(pty_.master(), 100)) continue;
            char buffer[512];
            const ssize_t n = ::read(pty_.master(), buffer, sizeof buffer);
            if (n <= 0) return false;
            seen_.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t at; (at = seen_.find("\x1b[6n", answered_)) != std::string::npos;) {
                answered_ = at + 4;
                type(cursor_reply);
            }
        }
        return false;
    }

    // The next line the shell (or the job's control handler) reports.
    std::string next_report() {
        const auto deadline = Clock::now() + patience;
        while (Clock::now() < deadline) {
            const std::size_t end = lines_.find('\n');
            if (end != std::string::npos) {
                std::string line = lines_.substr(0, end);
                lines_.erase(0, end + 1);
                return line;
            }
            if (!testing::readable_within(reports_, 100)) continue;
            char buffer[128];
            const ssize_t n = ::read(reports_, buffer, sizeof buffer);
            if (n <= 0) break;
            lines_.append(buffer, static_cast<std::size_t>(n));
        }
        return "(nothing)";
    }

    // Waits until the terminal's mode satisfies `done`.
    template <typename Done>
    bool mode_becomes(Done done) const {
        const auto deadline = Clock::now() + patience;
        while (Clock::now() < deadline) {
            if (done(now())) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    void close_master() { pty_.close_master(); }

    // What waits on the terminal for the next reader (the shell), line by
    // line as the terminal's own mode gives it.
    std::string left_for_the_shell() const {
        std::string left;
        char buffer[128];
        while (testing::readable_within(pty_.slave(), 200)) {
            const ssize_t n = ::read(pty_.slave(), buffer, sizeof buffer);
            if (n <= 0) break;
            left.append(buffer, static_cast<std::size_t>(n));
        }
        return left;
    }

  private:
    testing::PseudoTerminal pty_{12, 40};
    int reports_ = -1;
    pid_t shell_ = -1;
    pid_t job_ = -1;
    termios before_{};
    std::string seen_;
    std::size_t from_ = 0;
    std::size_t answered_ = 0;
    std::string lines_;
};

bool same_mode(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

bool keyboard_mode_on(const termios& m) {
    return (m.c_lflag & (ICANON | ECHO)) == 0 && (m.c_lflag & ISIG) != 0;
}

// A job reading keys in the keyboard mode.
void expect_ready(PtyJob& pty) {
    ASSERT_TRUE(pty.started());
    ASSERT_TRUE(pty.read_until("[ready]"));
    EXPECT_TRUE(keyboard_mode_on(pty.now()));
    pty.type("a");
    EXPECT_TRUE(pty.read_until("[key 61 at 7,0]"));  // after the text [ready]
}

// A scripted run with its transcript on a terminal that answers only after
// the program has stopped waiting for it, and the user typing a command for
// the shell right behind the answer: the answer never reaches the shell,
// the command does.
TEST(TerminalJob, LateAnswerIsNotLeftForTheShellButWhatTheUserTypedIs) {
    PtyJob pty(JobOptions{.input_from_file = true});
    ASSERT_TRUE(pty.started());
    pty.cursor_reply = "";
    ASSERT_TRUE(pty.read_until("\x1b[6n"));
    // The terminal is slow: its answer comes well after the program's wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    pty.type("\x1b[3;5Rls\r");
    EXPECT_TRUE(pty.read_until("[drawn]"));
    EXPECT_EQ(pty.next_report(), "exited 0");
    EXPECT_TRUE(same_mode(pty.now(), pty.before()));
    EXPECT_EQ(pty.left_for_the_shell(), "ls\n");
}

TEST(TerminalJob, NormalExitGivesTheTerminalBack) {
    PtyJob pty;
    expect_ready(pty);
    pty.type("q");
    EXPECT_EQ(pty.next_report(), "exited 0");
    EXPECT_TRUE(same_mode(pty.now(), pty.before()));
}

TEST(TerminalJob, InterruptKeyEndsByTheSignalWithTheTerminalGivenBack) {
    PtyJob pty;
    expect_ready(pty);
    pty.type("\x03");  // Ctrl+C
    EXPECT_EQ(pty.next_report(), "killed " + std::to_string(SIGINT));
    EXPECT_TRUE(same_mode(pty.now(), pty.before()));
}

TEST(TerminalJob, QuitKeyAndTerminateSignalToo) {
    {
        PtyJob pty;
        expect_ready(pty);
        pty.type("\x1c");  // Ctrl+backslash
        EXPECT_EQ(pty.next_report(), "killed " + std::to_string(SIGQUIT));
        EXPECT_TRUE(same_mode(pty.now(), pty.before()));
    }
    PtyJob pty;
    expect_ready(pty);
    ASSERT_EQ(::kill(pty.job(), SIGTERM), 0);
    EXPECT_EQ(pty.next_report(), "killed " + std::to_string(SIGTERM));
    EXPECT_TRUE(same_mode(pty.now(), pty.before()));
}

TEST(TerminalJob, HangUpSignalIsTheCloseEventThenTheEnd) {
    PtyJob pty;
    expect_ready(pty);
    ASSERT_EQ(::kill(pty.job(), SIGHUP), 0);
    EXPECT_EQ(pty.next_report(), "close");
    EXPECT_EQ(pty.next_report(), "killed " + std::to_string(SIGHUP));
    EXPECT_TRUE(same_mode(pty.now(), pty.before()));
}

TEST(TerminalJob, StopGivesTheTerminalBackAndContinueTakesItAgain) {
    PtyJob pty;
    expect_ready(pty);
    pty.type("\x1a");  // Ctrl+Z
    EXPECT_EQ(pty.next_report(), "stopped");
    EXPECT_TRUE(same_mode(pty.now(), pty.before()));

    // fg: the shell writes on the line meanwhile, so the cursor has moved.
    pty.cursor_reply = "\x1b[7;9R";
    ASSERT_EQ(::kill(pty.job(), SIGCONT), 0);
    EXPECT_EQ(pty.next_report(), "continued");
    EXPECT_TRUE(pty.mode_becomes(keyboard_mode_on));
    // The line the cursor was in goes on on a row of its own, below.
    pty.type("z");
    EXPECT_TRUE(pty.read_until("[key 7a at 22,7]"));

    pty.type("q");
    EXPECT_EQ(pty.next_report(), "exited 0");
    EXPECT_TRUE(same_mode(pty.now(), pty.before()));
}

// The terminal goes away without a signal to the job (only the session's
// leader gets one): the job finds it by reading.
TEST(TerminalJob, TerminalGoneIsTheCloseEventAndTheEndWithinASecond) {
    PtyJob pty;
    expect_ready(pty);
    const auto start = Clock::now();
    pty.close_master();
    EXPECT_EQ(pty.next_report(), "close");
    EXPECT_EQ(pty.next_report(), "killed " + std::to_string(SIGHUP));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

TEST(TerminalJob, TerminalGoneUnderNohupExitsWithItsCode) {
    PtyJob pty(JobOptions{.ignore_hang_up = true});
    expect_ready(pty);
    pty.close_master();
    EXPECT_EQ(pty.next_report(), "close");
    EXPECT_EQ(pty.next_report(), "exited " + std::to_string(128 + SIGHUP));
}

}  // namespace
}  // namespace pelorin::platform
