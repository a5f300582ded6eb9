// The keyboard half of the terminal console over scripted system calls: the
// keyboard mode, key events, the close event, signals, stop and continue.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/terminal_input_parser.h"
#include "platform/posix/terminal_modes.h"
#include "platform/posix/testing/terminal_console_fixture.h"
#include "platform/us_keyboard.h"

namespace pelorin::platform {
namespace {

using testing::at;
using testing::FakeTerminal;
using testing::in;
using testing::out;
using testing::report;
namespace ks = key_state;

KeyEvent key(PcKey k, std::uint8_t ch, std::uint32_t state = 0) {
    KeyEvent e;
    e.virtual_key = k.virtual_key;
    e.scan_code = k.scan_code;
    e.ch = ch;
    e.control_state = state | (k.enhanced ? ks::enhanced : 0);
    return e;
}

KeyEvent typed(char c, std::uint32_t state = 0) {
    const std::optional<CharKey> k = us_char_key(static_cast<std::uint8_t>(c));
    return key(k->key, static_cast<std::uint8_t>(c), state | (k->shift ? ks::shift : 0));
}

KeyEvent carrying(KeyEvent e, std::uint8_t ch) {
    e.ch = ch;
    return e;
}

KeyEvent character(std::uint8_t ch) {
    KeyEvent e;
    e.ch = ch;
    return e;
}

void expect_same_mode(const termios& got, const termios& want) {
    EXPECT_EQ(got.c_iflag, want.c_iflag);
    EXPECT_EQ(got.c_oflag, want.c_oflag);
    EXPECT_EQ(got.c_cflag, want.c_cflag);
    EXPECT_EQ(got.c_lflag, want.c_lflag);
    EXPECT_EQ(0, std::memcmp(got.c_cc, want.c_cc, sizeof got.c_cc));
}

// A mode as a user's shell leaves it.
termios users_mode() {
    termios m{};
    m.c_iflag = ICRNL | IXON | ISTRIP | BRKINT;
    m.c_oflag = OPOST | ONLCR;
    m.c_cflag = CS8 | CREAD;
    m.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    m.c_cc[VINTR] = 3;
    m.c_cc[VSUSP] = 26;
    m.c_cc[VMIN] = 1;
    m.c_cc[VTIME] = 0;
    return m;
}

std::vector<std::uint32_t> ctrl_events_seen;
bool record_and_handle(std::uint32_t event) {
    ctrl_events_seen.push_back(event);
    return true;
}
bool record_and_leave(std::uint32_t event) {
    ctrl_events_seen.push_back(event + 100);
    return false;
}

class TerminalInputTest : public testing::TerminalConsoleTest {
  protected:
    void SetUp() override {
        TerminalConsoleTest::SetUp();
        t.modes[0] = t.modes[1] = users_mode();
        ctrl_events_seen.clear();
    }

    // A console whose keyboard has been polled once.
    TerminalConsole& polled(bool utf8 = false) {
        make("xterm", utf8);
        (void)keys();
        return *console;
    }

    // Every key event there is now, taken one by one.
    std::vector<KeyEvent> keys() {
        std::vector<KeyEvent> got;
        for (;;) {
            InputEvent e;
            std::uint32_t n = 0;
            EXPECT_TRUE(console->read_input(in, e, n));
            if (n == 0) return got;
            EXPECT_EQ(e.kind, EventKind::key);
            got.push_back(e.key);
        }
    }

    std::size_t peeked() {
        InputEvent e;
        std::uint32_t n = 9;
        EXPECT_TRUE(console->peek_input(in, e, n));
        return n;
    }
};

// --- the keyboard mode -------------------------------------------------------------

TEST_F(TerminalInputTest, KeyboardModeFromTheFirstPollToTheEnd) {
    make();
    std::uint32_t mode = 0;
    ASSERT_TRUE(console->get_mode(in, mode));
    EXPECT_EQ(mode & enable_processed_input, enable_processed_input);
    EXPECT_TRUE(console->set_mode(in, mode | 0x80));
    ASSERT_TRUE(console->get_mode(in, mode));
    EXPECT_EQ(mode & 0x81, 0x81u);
    EXPECT_TRUE(console->set_ctrl_handler(record_and_handle, true));
    EXPECT_TRUE(t.mode_changes.empty());  // asking about the keyboard reads no key

    EXPECT_EQ(peeked(), 0u);
    ASSERT_EQ(t.mode_changes.size(), 1u);
    const FakeTerminal::ModeChange keys_mode = t.mode_changes[0];
    EXPECT_EQ(keys_mode.fd, 0);
    EXPECT_EQ(keys_mode.when, TCSANOW);
    termios want = users_mode();
    want.c_lflag = ECHOE | ISIG;
    want.c_iflag = IXON | BRKINT;
    expect_same_mode(keys_mode.mode, want);

    EXPECT_EQ(peeked(), 0u);
    console->sleep(25);
    EXPECT_EQ(t.mode_changes.size(), 1u);  // entered once

    console->flush_at_end();
    ASSERT_EQ(t.mode_changes.size(), 2u);
    EXPECT_EQ(t.mode_changes[1].when, TCSANOW);
    EXPECT_TRUE(t.mode_changes[1].ttou_ignored);
    expect_same_mode(t.mode_changes[1].mode, users_mode());
    EXPECT_EQ(t.handler(SIGTTOU), SIG_DFL);  // no longer ignored afterwards
}

// Where the system has a status character (the BSDs, macOS), neither mode
// lets it print the kernel's status line on the screen.
TEST(TerminalModes, StatusCharacterIsOffWhereTheSystemHasOne) {
    termios user = users_mode();
    user.c_cc[VEOL2] = 20;  // Ctrl+T, at an index every system has
    for (const auto mode : {&keyboard_mode, &question_mode}) {
        EXPECT_EQ(mode(user, VEOL2).c_cc[VEOL2], static_cast<cc_t>(_POSIX_VDISABLE));
        EXPECT_EQ(mode(user, -1).c_cc[VEOL2], 20);
    }
}

TEST_F(TerminalInputTest, RedirectedInputIsNoConsoleInput) {
    t.input_is_tty = false;
    t.answer("typed");
    make();
    std::uint32_t mode = 0;
    InputEvent event;
    std::uint32_t count = 9;
    EXPECT_FALSE(console->get_mode(in, mode));
    EXPECT_FALSE(console->set_mode(in, enable_processed_input));
    EXPECT_FALSE(console->peek_input(in, event, count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(console->read_input(in, event, count));
    console->sleep(25);
    EXPECT_TRUE(t.mode_changes.empty());
    EXPECT_EQ(t.incoming.size(), 1u);  // not read
    EXPECT_EQ(t.sleeps, std::vector<std::uint32_t>{25});
}

TEST_F(TerminalInputTest, KeysWithOutputRedirected) {
    t.output_is_tty = false;
    t.answer("y\r");
    make();
    std::uint32_t mode = 0;
    EXPECT_TRUE(console->get_mode(in, mode));
    EXPECT_FALSE(console->get_mode(out, mode));
    EXPECT_EQ(keys(), (std::vector<KeyEvent>{typed('y'), key(us_keys::enter, 13)}));
    std::uint32_t written = 0;
    EXPECT_TRUE(console->write_file(out, "y\r\n", 3, written));
    console->flush();
    EXPECT_EQ(t.written(1), "y\r\n");
    EXPECT_EQ(t.written(0), "");  // the terminal is asked nothing
}

// --- keys ----------------------------------------------------------------------------

TEST_F(TerminalInputTest, KeysAreEventsOfAUsKeyboard) {
    t.answer("aB\r\x7f\b\t\x01\x1bx\x1b[D\x1b[1;5C\x1b[15~\xc3\xa9");
    make("xterm", /*utf8=*/true);
    const std::vector<KeyEvent> want = {
        typed('a'),
        typed('B'),
        key(us_keys::enter, 13),
        key(us_keys::backspace, 8),
        key(us_keys::backspace, 8),
        key(us_keys::tab, 9),
        carrying(typed('a', ks::left_ctrl), 1),
        key(us_keys::escape, 27),
        typed('x'),
        key(us_keys::left, 0),
        key(us_keys::right, 0, ks::left_ctrl),
        key(us_keys::function_key(5), 0),
        character(0x82),  // e acute in code page 437
    };
    EXPECT_EQ(keys(), want);
    EXPECT_EQ(keys().size(), 0u);
}

TEST_F(TerminalInputTest, BytesBeyondAsciiFollowTheLocale) {
    t.answer("\xe9");
    make("xterm", /*utf8=*/false);
    EXPECT_EQ(keys(), std::vector<KeyEvent>{character(0x82)});
}

TEST_F(TerminalInputTest, PastedTextGivesWhatTheParserGives) {
    const std::string paste = "Hello, World! \x1b[A\x1bOB~`\"\x1b[3;2~\x1b[24~\x1b\x1b[Hend\n";
    t.answer(paste);
    make("xterm", true);
    TerminalInputParser parser(InputEncoding::utf8);
    std::vector<KeyEvent> want;
    for (const char c : paste)
        for (const ParsedInput& item : parser.feed(static_cast<std::uint8_t>(c), 0))
            want.push_back(item.key);
    EXPECT_EQ(keys(), want);
}

TEST_F(TerminalInputTest, LongPasteWaitsInTheTerminalUntilTaken) {
    t.answer(std::string(3000, 'a'));
    make();
    EXPECT_EQ(peeked(), 1u);
    EXPECT_FALSE(t.incoming.empty());  // most of it is still the terminal's
    EXPECT_EQ(keys().size(), 3000u);
}

TEST_F(TerminalInputTest, PeekLeavesTheKeyReadTakesIt) {
    t.answer("xy");
    make();
    InputEvent e;
    std::uint32_t n = 0;
    ASSERT_TRUE(console->peek_input(in, e, n));
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(e.key, typed('x'));
    ASSERT_TRUE(console->peek_input(in, e, n));
    EXPECT_EQ(e.key, typed('x'));
    ASSERT_TRUE(console->read_input(in, e, n));
    EXPECT_EQ(e.key, typed('x'));
    ASSERT_TRUE(console->read_input(in, e, n));
    EXPECT_EQ(e.key, typed('y'));
    const std::int64_t before = t.now;
    EXPECT_EQ(peeked(), 0u);
    ASSERT_TRUE(console->read_input(in, e, n));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(t.now, before);  // neither waits
}

TEST_F(TerminalInputTest, LoneEscComesAtTheFirstPollAfterItsDeadline) {
    polled();
    const std::int64_t typed_at = t.now;
    t.answer("\x1b");
    EXPECT_EQ(peeked(), 0u);
    t.now = typed_at + TerminalInputParser::escape_timeout_ms - 1;
    EXPECT_EQ(peeked(), 0u);
    // The editor's pause ends when the Esc is due, not a whole pause later.
    console->sleep(40);
    EXPECT_EQ(t.now, typed_at + TerminalInputParser::escape_timeout_ms);
    EXPECT_EQ(keys(), std::vector<KeyEvent>{key(us_keys::escape, 27)});
}

TEST_F(TerminalInputTest, IdlePausesSettleIntoLongWaitsUntilAKeyComes) {
    polled();
    for (int i = 0; i < TerminalInput::settle_after_quiet_waits; ++i) {
        const std::int64_t before = t.now;
        console->sleep(25);
        ASSERT_EQ(t.now - before, 25) << "pause " << i;
    }
    std::int64_t before = t.now;
    console->sleep(25);
    EXPECT_EQ(t.now - before, TerminalInput::settled_wait_ms);
    // A key typed during a long wait ends it at once and is read.
    t.answer("k", 300);
    before = t.now;
    console->sleep(25);
    EXPECT_EQ(t.now - before, 300);
    EXPECT_EQ(keys(), std::vector<KeyEvent>{typed('k')});
    before = t.now;
    console->sleep(25);
    EXPECT_EQ(t.now - before, 25) << "short pauses again after input";
}

TEST_F(TerminalInputTest, SequenceSplitAcrossReadsIsOneKey) {
    polled();
    t.answer("\x1b[");
    t.answer("1;2A", 10);
    EXPECT_EQ(peeked(), 0u);
    console->sleep(25);
    EXPECT_EQ(keys(), std::vector<KeyEvent>{key(us_keys::up, 0, ks::shift)});
}

TEST_F(TerminalInputTest, CursorReportAmongKeysIsTakenOut) {
    t.answer(std::string("ab") + report(2, 3) + "\x1b[Dc");
    make();
    EXPECT_EQ(info().cursor, at(2, 1));
    EXPECT_EQ(keys(),
              (std::vector<KeyEvent>{typed('a'), typed('b'), key(us_keys::left, 0), typed('c')}));
}

TEST_F(TerminalInputTest, LateCursorReportIsNoKeys) {
    t.size = winsize{6, 20, 0, 0};
    make();
    EXPECT_EQ(info().cursor, at(0, 5));  // the terminal was silent
    t.answer(std::string("k") + report(4, 4) + "m");
    EXPECT_EQ(keys(), (std::vector<KeyEvent>{typed('k'), typed('m')}));
    // A second report is a key: Shift+F3 sends the same bytes.
    t.answer(report(1, 2));
    EXPECT_EQ(keys(), std::vector<KeyEvent>{key(us_keys::function_key(3), 0, ks::shift)});
}

TEST_F(TerminalInputTest, LateReportInPiecesIsNoKeys) {
    make();
    info();  // the terminal was silent
    t.answer("\x1b[4");
    EXPECT_EQ(keys(), std::vector<KeyEvent>{});
    t.answer(";7Rz");
    EXPECT_EQ(keys(), std::vector<KeyEvent>{typed('z')});
}

TEST_F(TerminalInputTest, EscapeLeftAloneWhileAReportIsDueIsAKey) {
    make();
    info();
    t.answer("\x1b");
    EXPECT_EQ(keys(), std::vector<KeyEvent>{});
    t.now += TerminalInputParser::escape_timeout_ms;
    EXPECT_EQ(keys(), std::vector<KeyEvent>{key(us_keys::escape, 27)});
}

TEST_F(TerminalInputTest, InterruptedWaitAndReadOfKeysGoOn) {
    polled();
    t.wait_errors = {EINTR};
    t.read_errors = {EINTR};
    t.answer("q");
    EXPECT_EQ(keys(), std::vector<KeyEvent>{typed('q')});
}

// --- waiting -------------------------------------------------------------------------

TEST_F(TerminalInputTest, PauseWaitsOnTheTerminalAndEndsWhenAKeyComes) {
    make();
    console->sleep(25);  // before the first poll: a plain sleep
    EXPECT_EQ(t.sleeps, std::vector<std::uint32_t>{25});
    (void)keys();
    std::int64_t start = t.now;
    console->sleep(25);
    EXPECT_EQ(t.now, start + 25);
    t.answer("k", 10);
    start = t.now;
    console->sleep(25);
    EXPECT_EQ(t.now, start + 10);
    EXPECT_EQ(t.sleeps.size(), 1u);  // both waited on the terminal
    EXPECT_EQ(keys(), std::vector<KeyEvent>{typed('k')});
}

TEST_F(TerminalInputTest, EndOfFileFromALiveTerminalIsNoHangUp) {
    polled();
    t.answer("");  // a read that gives nothing, the terminal still there
    EXPECT_EQ(keys().size(), 0u);
    console->sleep(25);  // not a wait on the terminal: it would end at once
    EXPECT_EQ(t.sleeps, std::vector<std::uint32_t>{25});
    t.answer("z");
    EXPECT_EQ(keys(), std::vector<KeyEvent>{typed('z')});
    console->sleep(25);
    EXPECT_EQ(t.sleeps.size(), 1u);  // watched again
    EXPECT_TRUE(ctrl_events_seen.empty());
    EXPECT_TRUE(t.raised.empty());
}

// --- the terminal hanging up -----------------------------------------------------

class TerminalHangUpTest : public TerminalInputTest, public ::testing::WithParamInterface<int> {};

TEST_P(TerminalHangUpTest, IsTheCloseEventOnceThenTheEnd) {
    make();
    ASSERT_TRUE(console->set_ctrl_handler(record_and_handle, true));
    (void)keys();
    t.hung_up = true;
    t.hang_up_errno = GetParam();
    EXPECT_EQ(keys().size(), 0u);
    EXPECT_EQ(ctrl_events_seen, std::vector<std::uint32_t>{ctrl_event::close});
    ASSERT_EQ(t.mode_changes.size(), 2u);
    expect_same_mode(t.mode_changes.back().mode, users_mode());
    EXPECT_TRUE(t.mode_changes.back().ttou_ignored);
    ASSERT_EQ(t.raised.size(), 1u);
    EXPECT_EQ(t.raised[0].signal, SIGHUP);
    EXPECT_TRUE(t.raised[0].default_action);
    EXPECT_FALSE(t.raised[0].blocked);

    // Had the process lived on: no more reads, no second close, no spinning.
    const int reads_before = static_cast<int>(t.read_errors.size());
    EXPECT_EQ(keys().size(), 0u);
    console->sleep(25);
    EXPECT_EQ(t.sleeps, std::vector<std::uint32_t>{25});
    EXPECT_EQ(static_cast<int>(t.read_errors.size()), reads_before);
    EXPECT_EQ(ctrl_events_seen.size(), 1u);
    EXPECT_EQ(t.raised.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(ReadGivesEndOfFileOrFails, TerminalHangUpTest, ::testing::Values(0, EIO));

TEST_F(TerminalInputTest, HangUpUnderNohupExitsWithItsCode) {
    t.dispositions[SIGHUP].sa_handler = SIG_IGN;
    polled();
    t.hung_up = true;
    EXPECT_EQ(keys().size(), 0u);
    EXPECT_TRUE(t.raised.empty());
    EXPECT_EQ(t.exit_codes, std::vector<int>{hang_up_exit_code});
    EXPECT_EQ(t.handler(SIGHUP), SIG_IGN);
}

// --- signals -------------------------------------------------------------------------

void someone_elses_handler(int) {}

TEST_F(TerminalInputTest, HandlersAreInstalledUnlessTheSignalWasIgnored) {
    t.dispositions[SIGINT].sa_handler = SIG_IGN;
    t.dispositions[SIGQUIT].sa_handler = SIG_IGN;
    t.dispositions[SIGALRM].sa_handler = someone_elses_handler;  // a fuzzer's timer
    t.dispositions[SIGSEGV].sa_handler = someone_elses_handler;  // a sanitizer's report
    make();
    EXPECT_EQ(t.handler(SIGTERM), SIG_DFL);  // nothing before the terminal is changed
    (void)keys();
    EXPECT_EQ(t.handler(SIGINT), SIG_IGN);
    EXPECT_EQ(t.handler(SIGQUIT), SIG_IGN);
    EXPECT_EQ(t.handler(SIGTERM), &on_ending_signal);
    EXPECT_EQ(t.handler(SIGHUP), &on_hang_up_signal);
    EXPECT_EQ(t.handler(SIGTSTP), &on_stop_signal);
    EXPECT_EQ(t.handler(SIGCONT), &on_continue_signal);
    EXPECT_EQ(t.handler(SIGPIPE), &on_ending_signal);
    EXPECT_EQ(t.handler(SIGUSR1), &on_ending_signal);
    EXPECT_EQ(t.handler(SIGALRM), &someone_elses_handler);
    for (const int crash : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
        EXPECT_EQ(t.handler(crash), &on_crash_signal) << crash;
        EXPECT_NE(t.dispositions[crash].sa_flags & SA_ONSTACK, 0) << crash;
    }
    ASSERT_EQ(t.alternate_stacks.size(), 1u);
    EXPECT_GE(t.alternate_stacks[0].ss_size, static_cast<std::size_t>(MINSIGSTKSZ));
    // While one runs, the others wait.
    EXPECT_EQ(sigismember(&t.dispositions[SIGTERM].sa_mask, SIGTSTP), 1);
    EXPECT_EQ(sigismember(&t.dispositions[SIGTSTP].sa_mask, SIGHUP), 1);
    // A crash goes on to the handler that was there first, after ours.
    on_crash_signal(SIGSEGV);
    ASSERT_FALSE(t.raised.empty());
    EXPECT_EQ(t.raised[0].handler, &someone_elses_handler);
}

TEST_F(TerminalInputTest, EndingSignalGivesTheTerminalBackThenEnds) {
    t.answer(report(1, 1));
    make();
    info();
    CursorInfo hidden{25, false};
    ASSERT_TRUE(console->set_cursor_info(out, hidden));
    (void)keys();  // sends the hidden cursor, enters the keyboard mode
    for (const int signal : {SIGTERM, SIGSEGV}) {
        t.writes.clear();
        t.raised.clear();
        terminal_signal_state.modes[0].changed = 1;  // the keyboard mode is on again
        terminal_signal_state.cursor_hidden = 1;
        if (signal == SIGTERM) {
            on_ending_signal(signal);
        } else {
            on_crash_signal(signal);
        }
        expect_same_mode(t.mode_changes.back().mode, users_mode());
        EXPECT_TRUE(t.mode_changes.back().ttou_ignored);
        EXPECT_EQ(t.written(1), "\x1b[?25h");  // the user's shell gets its cursor
        ASSERT_EQ(t.raised.size(), 1u);
        EXPECT_EQ(t.raised[0].signal, signal);
        EXPECT_TRUE(t.raised[0].default_action);
        EXPECT_FALSE(t.raised[0].blocked);
    }
}

TEST_F(TerminalInputTest, InterruptIsOfferedToTheControlHandlers) {
    polled();
    ASSERT_TRUE(console->set_ctrl_handler(record_and_leave, true));
    on_ending_signal(SIGINT);  // not handled: the process ends
    EXPECT_EQ(ctrl_events_seen, std::vector<std::uint32_t>{ctrl_event::c + 100});
    ASSERT_EQ(t.raised.size(), 1u);
    EXPECT_EQ(t.raised[0].signal, SIGINT);
    ASSERT_EQ(t.mode_changes.size(), 2u);

    ASSERT_TRUE(console->set_ctrl_handler(record_and_handle, true));
    on_ending_signal(SIGINT);  // handled: nothing happens
    EXPECT_EQ(t.raised.size(), 1u);
    EXPECT_EQ(t.mode_changes.size(), 2u);
    on_ending_signal(SIGQUIT);  // never offered
    EXPECT_EQ(ctrl_events_seen.size(), 2u);
    EXPECT_EQ(t.raised.back().signal, SIGQUIT);
}

TEST_F(TerminalInputTest, HangUpSignalIsTheCloseEventThenTheEnd) {
    polled();
    ASSERT_TRUE(console->set_ctrl_handler(record_and_handle, true));
    on_hang_up_signal(SIGHUP);
    EXPECT_EQ(ctrl_events_seen, std::vector<std::uint32_t>{ctrl_event::close});
    expect_same_mode(t.mode_changes.back().mode, users_mode());
    ASSERT_EQ(t.raised.size(), 1u);
    EXPECT_EQ(t.raised[0].signal, SIGHUP);
    EXPECT_TRUE(t.raised[0].default_action);
}

TEST_F(TerminalInputTest, ControlHandlersNewestFirst) {
    make();
    EXPECT_TRUE(console->set_ctrl_handler(record_and_handle, true));
    EXPECT_TRUE(console->set_ctrl_handler(record_and_leave, true));
    EXPECT_TRUE(call_ctrl_handlers(ctrl_event::close));
    EXPECT_EQ(ctrl_events_seen, (std::vector<std::uint32_t>{102, 2}));
    EXPECT_TRUE(console->set_ctrl_handler(record_and_handle, false));
    EXPECT_FALSE(console->set_ctrl_handler(record_and_handle, false));
    ctrl_events_seen.clear();
    EXPECT_FALSE(call_ctrl_handlers(ctrl_event::close));
    EXPECT_EQ(ctrl_events_seen, std::vector<std::uint32_t>{102});
    EXPECT_FALSE(console->set_ctrl_handler(nullptr, true));
    // The list changes with the signals that call it blocked.
    EXPECT_EQ(t.block_calls.front(), SIG_BLOCK);
    EXPECT_EQ(t.block_calls.back(), SIG_SETMASK);
    EXPECT_FALSE(t.is_blocked(SIGHUP));

    for (std::size_t i = 1; i < TerminalSignalState::max_ctrl_handlers; ++i)
        EXPECT_TRUE(console->set_ctrl_handler(record_and_handle, true));
    EXPECT_FALSE(console->set_ctrl_handler(record_and_handle, true));  // no room
}

TEST_F(TerminalInputTest, SignalsWaitWhileOutputIsHeld) {
    t.answer(report(1, 1));
    make();
    info();
    console->flush();
    sigaddset(&t.blocked, SIGUSR1);  // blocked by someone else: stays so
    for (const int s : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP})
        EXPECT_FALSE(t.is_blocked(s));
    ASSERT_TRUE(put("ab", at(0, 0)));
    for (const int s : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP})
        EXPECT_TRUE(t.is_blocked(s)) << s;
    EXPECT_FALSE(t.is_blocked(SIGWINCH));
    console->sleep(25);
    ASSERT_EQ(t.writes.size(), 3u);  // the request, the erase below, then the drawing
    EXPECT_TRUE(t.writes[2].interrupt_blocked);
    EXPECT_FALSE(t.is_blocked(SIGINT));
    EXPECT_TRUE(t.is_blocked(SIGUSR1));
    // A console that goes away leaves no signal blocked.
    ASSERT_TRUE(put("c", at(2, 0)));
    EXPECT_TRUE(t.is_blocked(SIGINT));
    console.reset();
    EXPECT_FALSE(t.is_blocked(SIGINT));
    EXPECT_TRUE(t.is_blocked(SIGUSR1));
}

// --- stop and continue ------------------------------------------------------------

TEST_F(TerminalInputTest, StopGivesTheTerminalBackAndContinueTakesItAgain) {
    t.answer(report(1, 1));
    make();
    info();
    (void)keys();
    const FakeTerminal::ModeChange keys_mode = t.mode_changes.back();
    t.writes.clear();

    on_stop_signal(SIGTSTP);
    expect_same_mode(t.mode_changes.back().mode, users_mode());
    EXPECT_TRUE(t.mode_changes.back().ttou_ignored);
    ASSERT_EQ(t.raised.size(), 1u);
    EXPECT_EQ(t.raised[0].signal, SIGTSTP);
    EXPECT_TRUE(t.raised[0].default_action);
    EXPECT_FALSE(t.raised[0].blocked);
    EXPECT_EQ(t.handler(SIGTSTP), &on_stop_signal);  // for the next Ctrl+Z

    // Meanwhile the shell wrote; keys were typed before the answer.
    t.answer(std::string("x") + report(5, 7) + "y");
    EXPECT_EQ(keys(), (std::vector<KeyEvent>{typed('x'), typed('y')}));
    expect_same_mode(t.mode_changes.back().mode, keys_mode.mode);
    EXPECT_EQ(t.written(0), testing::cpr_request());
    EXPECT_EQ(info().cursor, at(0, 5));  // on a row of its own below the shell's
}

TEST_F(TerminalInputTest, ContinueAfterAnyStopLearnsTheCursorAgain) {
    t.answer(report(1, 1));
    make();
    info();
    (void)keys();
    const std::size_t changes = t.mode_changes.size();
    on_continue_signal(SIGCONT);  // after SIGSTOP, SIGTTIN...
    t.answer(report(3, 2));
    EXPECT_EQ(info().cursor, at(0, 3));  // the next drawing learns it
    EXPECT_GT(t.mode_changes.size(), changes);
    expect_same_mode(t.mode_changes.back().mode, keyboard_mode(users_mode()));
}

}  // namespace
}  // namespace pelorin::platform
