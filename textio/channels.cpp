#include "textio/channels.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace pelorin::textio {

ChannelTable channel_table;
DeviceOps ConsoleDeviceOps;

namespace {

constexpr std::int32_t FILE_RECORD_LENGTH = 128;
constexpr std::size_t FILE_BUFFER_BYTES = 8192;

Status file_write(Channel& channel, const std::uint8_t* bytes, std::size_t length) {
    auto* stream = static_cast<std::FILE*>(channel.stream);
    const std::size_t accepted = std::fwrite(bytes, 1, length, stream);
    return accepted < length ? STATUS_FILE_IO : STATUS_OK;
}

// Closing hands the buffered bytes to the file; a failure there (a full
// disk) is not reported: the channel is freed all the same.
void file_close(Channel& channel) {
    auto* stream = static_cast<std::FILE*>(channel.stream);
    if (stream != nullptr) (void)std::fclose(stream);
    channel.stream = nullptr;
}

bool is_file_channel(int n) {
    return n >= 1 && n <= LAST_FILE_CHANNEL;
}

void close_all_files_at_exit() {
    close_all_files();
}

void update_column(Channel& channel, const std::uint8_t* bytes, std::size_t length) {
    std::size_t i = length;
    while (i > 0 && bytes[i - 1] != 13 && bytes[i - 1] != 10)
        --i;
    std::uint32_t column = i > 0 ? static_cast<std::uint32_t>(length - i)
                                 : channel.column + static_cast<std::uint32_t>(length);
    if (channel.width != 0) column %= channel.width;
    channel.column = column;
}

}  // namespace

DeviceOps FileDeviceOps{file_write, file_close, nullptr};

void clear_channel_table() {
    for (Channel& ch : channel_table.records)
        ch = Channel{};
}

Channel* channel_record(int n) {
    if (n < CONSOLE_CHANNEL || n > LAST_FILE_CHANNEL) return nullptr;
    return &channel_table.records[static_cast<std::size_t>(n)];
}

Status channel_write(Channel* channel, const void* bytes, std::size_t length) {
    if (channel == nullptr || channel->ops == nullptr) return set_status(STATUS_BAD_CALL);
    // Writing leaves the push-back store alone: a byte the field reader read
    // ahead (after a lone CR, or after a closing quote) is the first byte of
    // the next answer, and the program always prints before it reads again.
    if (channel->ops->write == nullptr) return set_status(STATUS_BAD_CALL);
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    const Status s = channel->ops->write(*channel, data, length);
    if (s == STATUS_OK) update_column(*channel, data, length);
    return set_status(s);
}

Status results_file_open(std::string_view name, int n) {
    if (!channel_table.close_all_registered) {
        channel_table.close_all_registered = true;
        std::atexit(close_all_files_at_exit);
    }
    Channel* ch = is_file_channel(n) ? channel_record(n) : nullptr;
    if (ch == nullptr || ch->ops != nullptr) return set_status(STATUS_BAD_CALL);
    *ch = Channel{};
    ch->mode = MODE_OUTPUT;
    ch->record_length = FILE_RECORD_LENGTH;
    ch->kind = KIND_DISK;
    ch->ops = &FileDeviceOps;
    std::FILE* stream = nullptr;
    try {
        // The name is taken by its length, so it needs its own terminator.
        const std::string path(name);
        stream = std::fopen(path.c_str(), "wb");
    } catch (...) {
        stream = nullptr;
    }
    if (stream == nullptr) {
        *ch = Channel{};
        return set_status(STATUS_FILE_NOT_FOUND);
    }
    (void)std::setvbuf(stream, nullptr, _IOFBF, FILE_BUFFER_BYTES);
    ch->stream = stream;
    ch->access = ACCESS_READ_WRITE;
    return set_status(STATUS_OK);
}

Status results_file_close(int n) {
    if (n == CONSOLE_CHANNEL) {
        for (int i = 1; i <= LAST_FILE_CHANNEL; ++i) {
            Channel& ch = channel_table.records[static_cast<std::size_t>(i)];
            if (ch.ops != nullptr && ch.ops->close != nullptr) ch.ops->close(ch);
            ch = Channel{};
        }
        return set_status(STATUS_OK);
    }
    Channel* ch = is_file_channel(n) ? channel_record(n) : nullptr;
    if (ch == nullptr || ch->ops == nullptr) return set_status(STATUS_BAD_CALL);
    if (ch->ops->close != nullptr) ch->ops->close(*ch);
    *ch = Channel{};
    return set_status(STATUS_OK);
}

void close_all_files() {
    (void)results_file_close(CONSOLE_CHANNEL);
    channel_table.close_all_registered = false;
}

}  // namespace pelorin::textio
