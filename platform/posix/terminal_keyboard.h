// The keys typed on a terminal as console key events: the bytes read go
// through the key decoder with the time they came, and the events wait here
// until the console hands them out one by one.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>

#include "platform/console_api.h"
#include "platform/posix/key_decoder.h"

namespace pelorin::platform {

class TerminalKeyboard {
  public:
    explicit TerminalKeyboard(InputEncoding encoding) : decoder_(encoding) {}

    // Bytes read from the terminal at now_ms (a monotonic clock).
    void feed(std::string_view bytes, std::int64_t now_ms);
    // Nothing more came until now_ms: settles a lone Esc whose time is up.
    void tick(std::int64_t now_ms);
    // When tick() would settle something; nothing while no Esc waits.
    std::optional<std::int64_t> deadline() const;

    bool empty() const { return events_.empty(); }
    const KeyEvent& front() const { return events_.front(); }
    void pop() { events_.pop_front(); }

  private:
    void take(const DecodedKeys& keys);

    KeyDecoder decoder_;
    std::deque<KeyEvent> events_;
};

}  // namespace pelorin::platform
