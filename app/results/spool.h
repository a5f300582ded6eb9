// Records that a command keeps until its input ends (the rows of a table,
// the people of a page), given back in the order of a key of bytes, and in
// the order they came among equal keys. They stay in memory up to a budget;
// beyond it each full part is sorted and written to a temporary file, and
// the parts are merged at the end, so that a group of any size takes no more
// memory than the budget. Without a temporary file everything stays in
// memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_access.h"

namespace pelorin::results {

inline constexpr std::size_t SPOOL_BUDGET = 4 << 20;

// A temporary file that could not be written or read back: what failed.
struct SpoolError {
    std::string what;
};

// Several texts as one record, and back.
std::string packed(std::initializer_list<std::string_view> fields);
std::vector<std::string_view> unpacked(std::string_view record);

class Spool {
  public:
    explicit Spool(std::size_t budget = SPOOL_BUDGET) : budget_(budget) {}

    // Throws SpoolError.
    void add(std::string_view key, std::string_view value);
    std::size_t size() const { return count_; }
    // Every record's value in order, then the spool is empty. Throws SpoolError.
    void drain(const std::function<void(std::string_view value)>& each);

  private:
    struct Run {
        std::uint64_t begin = 0;
        std::uint64_t end = 0;
    };
    class RunReader;

    std::vector<std::size_t> sorted_part() const;
    void write_part();

    std::size_t budget_;
    std::size_t count_ = 0;
    std::string part_;                 // records, one after another
    std::vector<std::size_t> starts_;  // where each record of the part starts
    platform::TemporaryFile file_;
    bool no_file_ = false;  // none could be made: memory it is
    std::vector<Run> runs_;
};

}  // namespace pelorin::results
