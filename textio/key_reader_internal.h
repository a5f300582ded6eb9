// The key reader's queue and state, its poll and its translation of one key
// event, shared with its tests; callers use key_reader.h.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "textio/key_reader.h"

namespace pelorin::textio {

inline constexpr int KEY_QUEUE_SLOTS = 512;

// A ring of key codes: empty when head == tail, full when KEY_QUEUE_SLOTS - 1
// codes wait. Nothing is ever dropped: keys the queue cannot take stay in
// the console's own input buffer until there is room.
struct KeyQueue {
    std::array<int, KEY_QUEUE_SLOTS> slots{};
    int head = 0;
    int tail = 0;
};

// Process-wide state of the key reader, started afresh by reset_services().
struct KeyReaderState {
    KeyQueue queue;
    // The decimal number typed on the keypad with Alt held, kept modulo 256
    // (only its value modulo 256 is ever used, and any number of digits may
    // come); alt_number_typed tells whether the number is not 0, which ends
    // it with a character.
    unsigned alt_number = 0;
    bool alt_number_typed = false;
    bool handler_installed = false;
    // The removal of the control handler is on the at-exit list. That list
    // cannot be taken back, so a restart of the reader does not clear this.
    bool removal_registered = false;
    // Close events the control handler has seen and no poll has queued yet.
    // The handler runs on a thread of the platform's or in a signal handler,
    // so it only touches this lock-free counter; the next poll turns each
    // count into a KEY_CLOSE code on the program's own thread.
    std::atomic<int> close_requests{0};
};

extern KeyReaderState key_reader_state;

// Drains the pending console input events into the queue while it has room;
// the first call also installs the console control handler.
void key_poll_events();

}  // namespace pelorin::textio
