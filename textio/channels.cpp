#include "textio/channels.h"

#include <cstdio>
#include <cstdlib>

#include "platform/replacement_file.h"

namespace pelorin::textio {

ChannelTable channel_table;
DeviceOps ConsoleDeviceOps;

namespace {

// The bytes go into the new file's buffer; one that fails marks the file
// as failed, so it never takes the old one's place.
Status file_write(Channel& channel, const std::uint8_t* bytes, std::size_t length) {
    std::FILE* stream = platform::replacement_stream(*channel.stream);
    const std::size_t accepted = std::fwrite(bytes, 1, length, stream);
    return accepted < length ? STATUS_FILE_IO : STATUS_OK;
}

// The new file replaces the old one only when all of it reached the disk;
// a failure (a full disk) is not reported: the old file stays, and the
// channel is freed all the same.
void file_close(Channel& channel) {
    if (channel.stream != nullptr) (void)platform::finish_replacement(channel.stream);
    channel.stream = nullptr;
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
void close_channel(Channel& ch, bool keep) {
    if (ch.ops != nullptr) {
        void (*close)(Channel&) = keep ? ch.ops->close : ch.ops->discard;
        if (close != nullptr) close(ch);
    }
    ch = Channel{};
}

}  // namespace

const DeviceOps FileDeviceOps{file_write, file_close, nullptr, file_discard};

void clear_channel_table() {
    for (Channel& ch : channel_table.records)
        ch = Channel{};
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
    platform::ReplacementFile* file = platform::begin_replacement(name);
    if (file == nullptr) return STATUS_FILE_NOT_FOUND;
    ch->ops = &FileDeviceOps;
    ch->stream = file;
    return STATUS_OK;
}

Status results_file_close(int n) {
    if (n == CONSOLE_CHANNEL) {
        for (int i = 1; i <= LAST_FILE_CHANNEL; ++i)
            close_channel(channel_table.records[static_cast<std::size_t>(i)], true);
        return STATUS_OK;
    }
    Channel* ch = is_file_channel(n) ? channel_record(n) : nullptr;
    if (ch == nullptr || ch->ops == nullptr) return STATUS_BAD_CALL;
    close_channel(*ch, true);
    return STATUS_OK;
}

void close_all_files() {
    for (int i = 1; i <= LAST_FILE_CHANNEL; ++i)
        close_channel(channel_table.records[static_cast<std::size_t>(i)], false);
    channel_table.close_all_registered = false;
}

}  // namespace pelorin::textio
