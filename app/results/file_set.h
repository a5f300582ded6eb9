// The files already read, by identity, so that a file reached twice (a
// folder named twice, a link, a second name) counts once. Kept compact: a
// file takes 8 to 16 bytes, in one open-addressed table of file numbers per
// device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/file_access.h"

namespace pelorin::results {

class FileSet {
  public:
    // Adds `file`; false when it was there already.
    bool insert(const platform::FileIdentity& file);
    bool contains(const platform::FileIdentity& file) const;

  private:
    struct Device {
        std::uint64_t device = 0;
        std::vector<std::uint64_t> slots;  // 0: free; number 0 is kept apart
        std::size_t used = 0;
        bool has_zero = false;
    };
    static bool insert_number(Device& device, std::uint64_t number);
    static bool has_number(const Device& device, std::uint64_t number);
    static void grow(Device& device);

    std::vector<Device> devices_;
};

}  // namespace pelorin::results
