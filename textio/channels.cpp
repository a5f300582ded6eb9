#include "textio/channels.h"

#include <cstdlib>

#include "platform/replacement_file.h"

namespace pelorin::textio {

ChannelTable channel_table;
DeviceOps ConsoleDeviceOps;

namespace {

// The bytes go into the new file's buffer; one that fails marks the file
// as failed, so it never takes the old one's place.
Status file_write(Channel& channel, const std::uint8_t* bytes, std::size_t length) {
    return platform::replacement_write(*channel.stream, bytes, length) ? STATUS_OK : STATUS_FILE_IO;
}

// The new file replaces the old one only when all of it reached the disk;
// on a failure (a full disk) the old file stays, and the channel is freed
// all the same.
Status file_close(Channel& channel) {
    const bool finished = channel.stream == nullptr ||
                          platform::finish_replacement(channel.stream, &channel_table.failure);
    channel.stream = nullptr;
    return finished ? STATUS_OK : STATUS_FILE_IO;
}

// A file its writer never closed is not known to be complete: the old one
// stays.
void file_discard(Channel& channel) {
    if (channel.stream != nullptr) platform::abandon_replacement(channel.stream);
    channel.stream = nullptr;
}

bool is_file_channel(int n) {
    return n >= 1 && n <= LAST_FILE_CHANNEL;
}

void close_all_files_at_exit() {
    close_all_files();
}

// Closes an open channel, keeping what was written or not, and frees it.
Status close_channel(Channel& ch, bool keep) {
    Status status = STATUS_OK;
    if (ch.ops != nullptr) {
        if (keep && ch.ops->close != nullptr) status = ch.ops->close(ch);
        if (!keep && ch.ops->discard != nullptr) ch.ops->discard(ch);
    }
    ch = Channel{};
    return status;
}

}  // namespace

const DeviceOps FileDeviceOps{file_write, file_close, nullptr, file_discard};

void clear_channel_table() {
    for (Channel& ch : channel_table.records)
        ch = Channel{};
    channel_table.failure = {};
}

Channel* channel_record(int n) {
    if (n < CONSOLE_CHANNEL || n > LAST_FILE_CHANNEL) return nullptr;
    return &channel_table.records[static_cast<std::size_t>(n)];
}

Status channel_write(Channel* channel, const void* bytes, std::size_t length) {
    if (channel == nullptr || channel->ops == nullptr) return STATUS_BAD_CALL;
    // Writing leaves the push-back store alone: a byte the field reader read
    // ahead (after a lone CR, or after a closing quote) is the first byte of
    // the next answer, and the program always prints before it reads again.
    if (channel->ops->write == nullptr) return STATUS_BAD_CALL;
    return channel->ops->write(*channel, static_cast<const std::uint8_t*>(bytes), length);
}

Status results_file_open(std::string_view name, int n) {
    if (!channel_table.close_all_registered) {
        channel_table.close_all_registered = true;
        std::atexit(close_all_files_at_exit);
    }
    Channel* ch = is_file_channel(n) ? channel_record(n) : nullptr;
    if (ch == nullptr || ch->ops != nullptr) return STATUS_BAD_CALL;
    *ch = Channel{};
    platform::ReplacementFile* file = platform::begin_replacement(name, &channel_table.failure);
    if (file == nullptr) return STATUS_FILE_NOT_FOUND;
    ch->ops = &FileDeviceOps;
    ch->stream = file;
    return STATUS_OK;
}

Status results_file_close(int n) {
    if (n == CONSOLE_CHANNEL) {
        Status status = STATUS_OK;
        for (int i = 1; i <= LAST_FILE_CHANNEL; ++i)
            if (close_channel(channel_table.records[static_cast<std::size_t>(i)], true) !=
                STATUS_OK)
                status = STATUS_FILE_IO;
        return status;
    }
    Channel* ch = is_file_channel(n) ? channel_record(n) : nullptr;
    if (ch == nullptr || ch->ops == nullptr) return STATUS_BAD_CALL;
    return close_channel(*ch, true);
}

const platform::ReplacementError& last_file_failure() {
    return channel_table.failure;
}

void close_all_files() {
    for (int i = 1; i <= LAST_FILE_CHANNEL; ++i)
        close_channel(channel_table.records[static_cast<std::size_t>(i)], false);
    channel_table.close_all_registered = false;
}

}  // namespace pelorin::textio
