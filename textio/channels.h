// The numbered channels under all text output: 0 is the console, 1 to 254
// are file channels. The questionnaire writes RESULTS.TXT on channel 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/replacement_file.h"
#include "textio/status.h"

namespace pelorin::textio {

struct Channel;

// Per-kind operations of a channel. The console's table is filled in as the
// console is set up (write by the print operations, read by answer input);
// the file table is fixed.
struct DeviceOps {
    Status (*write)(Channel& channel, const std::uint8_t* bytes, std::size_t length) = nullptr;
    // Closes, keeping what was written; STATUS_FILE_IO when that failed.
    Status (*close)(Channel& channel) = nullptr;
    // One byte 0..255 from the device, or -1 at end of input.
    int (*read)(Channel& channel) = nullptr;
    // Closes, dropping what was written: the device is left as it was.
    void (*discard)(Channel& channel) = nullptr;
};

// One channel: what the program reads on it, and the device under it. A
// closed channel's record is all zero.
struct Channel {
    // Bytes the field reader put back (the newest last), returned before any
    // byte of the device; they wait for its next read, whatever is written
    // on the channel in between.
    std::array<std::uint8_t, 4> read_back{};
    std::uint32_t read_back_count = 0;
    const DeviceOps* ops = nullptr;               // set exactly while the channel is open
    platform::ReplacementFile* stream = nullptr;  // a file channel's new file
};

inline constexpr int CONSOLE_CHANNEL = 0;
inline constexpr int LAST_FILE_CHANNEL = 254;

struct ChannelTable {
    std::array<Channel, LAST_FILE_CHANNEL + 1> records{};
    bool close_all_registered = false;
    // Why the last file that could not be opened or closed whole failed.
    platform::ReplacementError failure;
};

extern ChannelTable channel_table;
// The console's operation table: one per process, empty at start.
extern DeviceOps ConsoleDeviceOps;
// The operation table shared by all disk-file channels.
extern const DeviceOps FileDeviceOps;

// Zero-fills every record (start-up). Does not touch open streams.
void clear_channel_table();
// The record of channel n, or nullptr when no channel has that number.
Channel* channel_record(int n);

// The one path by which bytes reach any channel.
Status channel_write(Channel* channel, const void* bytes, std::size_t length);

// Opens `name` for output on file channel n, with full buffering of 8192
// bytes. The file written replaces the one of that name only when the
// channel is closed and all of it reached the disk (platform/replacement_file.h);
// until then, and whenever that fails, the old file stays as it was.
// Registers close_all_files at the first call.
Status results_file_open(std::string_view name, int n);
// Closes file channel n (0: every file channel): its file takes its name.
// STATUS_FILE_IO when a file could not (last_file_failure says why); the
// channel is freed all the same.
Status results_file_close(int n);
// Why the last open that failed (STATUS_FILE_NOT_FOUND), or the last close
// that did, failed: the file and the system's reason.
const platform::ReplacementError& last_file_failure();
// Closes every open file channel, dropping its file (an exit step: a file
// still open at the end was not finished by its writer).
void close_all_files();

}  // namespace pelorin::textio
