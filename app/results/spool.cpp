#include "app/results/spool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <queue>

namespace pelorin::results {
namespace {

constexpr std::size_t WRITE_BLOCK = 64 << 10;

void put_length(std::string& out, std::size_t n) {
    for (; n >= 0x80; n >>= 7)
        out += static_cast<char>(0x80 | (n & 0x7F));
    out += static_cast<char>(n);
}

// A record at the start of `bytes`: its key and value, and its whole length;
// 0 when `bytes` holds only part of it.
struct Record {
    std::string_view key;
    std::string_view value;
    std::size_t length = 0;
};

bool take_length(std::string_view bytes, std::size_t& at, std::size_t& n) {
    n = 0;
    for (int shift = 0; at < bytes.size(); shift += 7) {
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        n |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if (byte < 0x80) return true;
    }
    return false;
}

Record record_at(std::string_view bytes) {
    std::size_t at = 0;
    std::size_t key = 0;
    std::size_t value = 0;
    if (!take_length(bytes, at, key) || bytes.size() - at < key) return {};
    const std::size_t key_at = at;
    at += key;
    if (!take_length(bytes, at, value) || bytes.size() - at < value) return {};
    return {bytes.substr(key_at, key), bytes.substr(at, value), at + value};
}

std::string failure(const char* doing, int error) {
    return std::string("temporary file: ") + doing + ": " + std::strerror(error);
}

}  // namespace

std::string packed(std::initializer_list<std::string_view> fields) {
    std::string out;
    for (const std::string_view field : fields) {
        put_length(out, field.size());
        out += field;
    }
    return out;
}

std::vector<std::string_view> unpacked(std::string_view record) {
    std::vector<std::string_view> fields;
    std::size_t n = 0;
    for (std::size_t at = 0; at < record.size() && take_length(record, at, n); at += n)
        fields.push_back(record.substr(at, n));
    return fields;
}

// One sorted run of the temporary file, read a buffer at a time.
class Spool::RunReader {
  public:
    RunReader(const platform::TemporaryFile& file, Run run, std::size_t buffer)
        : file_(&file), at_(run.begin), end_(run.end), buffer_size_(buffer) {}

    // The next record, valid until the next call; false at the run's end.
    bool next(Record& record) {
        for (;;) {
            record = record_at(std::string_view(buffer_).substr(used_));
            if (record.length > 0) {
                used_ += record.length;
                return true;
            }
            if (at_ == end_) return false;
            refill();
        }
    }

  private:
    void refill() {
        buffer_.erase(0, used_);
        used_ = 0;
        // A record longer than the buffer makes it grow.
        const std::size_t room = std::max(buffer_size_, buffer_.size() * 2);
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(room - buffer_.size(), end_ - at_));
        const std::size_t kept = buffer_.size();
        buffer_.resize(kept + wanted);
        const long got = file_->read_at(at_, buffer_.data() + kept, wanted);
        if (got <= 0) throw SpoolError{failure("reading", got < 0 ? errno : EIO)};
        buffer_.resize(kept + static_cast<std::size_t>(got));
        at_ += static_cast<std::uint64_t>(got);
    }

    const platform::TemporaryFile* file_;
    std::uint64_t at_;
    std::uint64_t end_;
    std::size_t buffer_size_;
    std::string buffer_;
    std::size_t used_ = 0;
};

void Spool::add(std::string_view key, std::string_view value) {
    // The room of a whole part at once: growing by doubling would copy it
    // and hold it twice. Pages not written to take no memory.
    if (part_.empty() && !no_file_) part_.reserve(budget_ + (64 << 10));
    starts_.push_back(part_.size());
    put_length(part_, key.size());
    part_ += key;
    put_length(part_, value.size());
    part_ += value;
    ++count_;
    if (part_.size() + starts_.size() * sizeof(std::size_t) > budget_ && !no_file_) write_part();
}

std::vector<std::size_t> Spool::sorted_part() const {
    std::vector<std::size_t> order(starts_);
    const std::string_view all = part_;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return record_at(all.substr(a)).key < record_at(all.substr(b)).key;
    });
    return order;
}

void Spool::write_part() {
    if (!file_.is_open() && file_.create() != 0) {
        no_file_ = true;
        return;
    }
    const Run run{file_.size(), file_.size() + part_.size()};
    // Written a block at a time, so that the sorted copy stays small.
    std::string block;
    const auto write = [&] {
        if (const int error = file_.append(block.data(), block.size()))
            throw SpoolError{failure("writing", error)};
        block.clear();
    };
    const std::string_view all = part_;
    for (const std::size_t start : sorted_part()) {
        block += all.substr(start, record_at(all.substr(start)).length);
        if (block.size() >= WRITE_BLOCK) write();
    }
    write();
    runs_.push_back(run);
    part_.clear();
    part_.shrink_to_fit();
    starts_.clear();
    starts_.shrink_to_fit();
}

void Spool::drain(const std::function<void(std::string_view)>& each) {
    if (runs_.empty()) {
        const std::string_view all = part_;
        for (const std::size_t start : sorted_part())
            each(record_at(all.substr(start)).value);
    } else {
        if (!starts_.empty()) write_part();
        std::vector<RunReader> readers;
        const std::size_t buffer = std::max<std::size_t>(4096, budget_ / (2 * runs_.size()));
        for (const Run& run : runs_)
            readers.emplace_back(file_, run, buffer);
        // The least key first; among equal keys the earlier run, which came first.
        std::vector<Record> heads(readers.size());
        const auto later = [&](std::size_t a, std::size_t b) {
            return heads[b].key < heads[a].key || (heads[b].key == heads[a].key && b < a);
        };
        std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(later)> queue(later);
        for (std::size_t i = 0; i < readers.size(); ++i)
            if (readers[i].next(heads[i])) queue.push(i);
        while (!queue.empty()) {
            const std::size_t i = queue.top();
            queue.pop();
            each(heads[i].value);
            if (readers[i].next(heads[i])) queue.push(i);
        }
    }
    part_.clear();
    starts_.clear();
    runs_.clear();
    count_ = 0;
}

}  // namespace pelorin::results
