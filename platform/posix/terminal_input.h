// The input half of the terminal console: what the terminal sends, through
// the one input parser, and the modes it is read in.
//
// When standard input is a terminal that takes escape sequences (see
// TerminalOptions::takes_sequences), it is the console's keyboard: from the
// first poll for keys to the end of the program the terminal is in the
// keyboard mode (terminal_modes.h), and the bytes of the keys become key
// events of a US PC keyboard. A terminal that has hung up is the console
// being closed. The same half asks the terminal where its cursor is, and
// takes the answer out of the keys typed around it.
//
// Every wait on a terminal is made here, in wait_readable().
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "platform/console_api.h"
#include "platform/posix/terminal_input_parser.h"
#include "platform/posix/terminal_options.h"
#include "platform/posix/terminal_sys.h"
#include "platform/posix/terminal_window.h"

namespace pelorin::platform {

class TerminalInput {
  public:
    // How long the program waits for the terminal to answer the
    // cursor-position request.
    static constexpr int reply_wait_ms = 500;
    // How long after the request a late answer is still looked for, and
    // taken out of what the terminal sends: meanwhile the terminal stays in
    // the question's mode, so the answer neither shows nor waits for the
    // shell. When the program ends sooner, it waits for the rest of this.
    static constexpr int reply_look_ms = 1000;
    // After this many pauses without input (a second of the editor's), a
    // pause waits up to settled_wait_ms for a key.
    static constexpr int settle_after_quiet_waits = 40;
    static constexpr int settled_wait_ms = 1000;

    TerminalInput(const TerminalSys& sys, const TerminalOptions& options, TerminalWindow& window);
    ~TerminalInput();
    TerminalInput(const TerminalInput&) = delete;
    TerminalInput& operator=(const TerminalInput&) = delete;

    // Standard input is a terminal: the console's keyboard.
    bool is_keyboard();
    // The first poll for keys: from here to the end the terminal is in the
    // keyboard mode, and signals give it back before they end or stop the
    // process.
    void start_keyboard();
    // After a stop the terminal had the user's mode: the keyboard mode again.
    void take_keyboard_again();

    // Reads what the keyboard has sent, without waiting; true when a key
    // event waits.
    bool keys_ready();
    const KeyEvent& front() const { return keys_.front(); }
    void pop() { keys_.pop_front(); }

    // The editor's pause between two polls for keys, ending early when a
    // key comes or a lone Esc becomes the Esc key.
    void pause(std::uint32_t ms);

    // Asks the terminal where its cursor is; the answer goes to the window
    // record. False when there is no terminal to ask, the process is in its
    // background, or it did not answer in time; a terminal that once let
    // the question go unanswered is not asked again. A terminal that is not the keyboard is not
    // asked while keys typed for the shell wait on it.
    bool ask_cursor_position();
    // The program waits: a late answer that has come is taken out.
    void take_late_reply();
    // The program ends: an answer still awaited is waited for, until
    // reply_look_ms after the question, and the terminal's mode given back.
    void finish_reply();

  private:
    int query_fd();
    TerminalInputParser& parser_for(int fd);
    bool reads_keys(int fd);
    bool typed_ahead(int fd);
    void put_back_mode(int fd);
    bool take_reply(std::int64_t deadline, bool keys);
    void reply_settled();
    void parse(TerminalInputParser& parser, const char* bytes, std::size_t count, bool keys);
    void take(const ParsedInputs& items, bool keys);
    void read_keyboard();
    bool read_failed(ssize_t n);
    // The one wait on a terminal: until `fd` is readable, `timeout_ms`
    // passes, or a signal comes.
    enum class Wait { readable, quiet, interrupted, failed };
    Wait wait_readable(int fd, int timeout_ms);

    const TerminalSys& sys_;
    const TerminalOptions& options_;
    TerminalWindow& window_;
    enum class Kind { unknown, keyboard, stream };
    Kind kind_ = Kind::unknown;
    bool keyboard_started_ = false;
    // The terminal has hung up, or reads fail for good.
    bool gone_ = false;
    // The last read failed: waits do not watch the terminal until one works.
    bool read_stalled_ = false;
    // The last wait found nothing to read, and nothing was read since.
    bool known_quiet_ = false;
    // Pauses in a row in which no input came.
    int quiet_waits_ = 0;
    std::int64_t last_input_ms_ = 0;
    TerminalInputParser parser_;
    std::deque<KeyEvent> keys_;

    // The terminal asked for the cursor, when it is not the keyboard's, and
    // the parser of what it answers.
    bool tty_looked_up_ = false;
    bool tty_opened_ = false;
    int tty_fd_ = -1;
    TerminalInputParser tty_parser_;
    // The terminal once let the question go unanswered.
    bool reply_missed_ = false;
    // The question whose answer has not come yet: asked on `fd` at
    // `asked_ms`. Until the answer comes, that terminal is in the
    // question's mode.
    struct AwaitedReply {
        int fd = -1;
        std::int64_t asked_ms = 0;
    };
    std::optional<AwaitedReply> awaited_;
};

}  // namespace pelorin::platform
