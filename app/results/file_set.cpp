#include "app/results/file_set.h"

namespace pelorin::results {
namespace {

constexpr std::size_t FIRST_SLOTS = 1024;

// File numbers are often consecutive: mixed, they spread over the table.
std::size_t slot_of(std::uint64_t number, std::size_t slots) {
    std::uint64_t z = number + 0x9E3779B97F4A7C15U;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9U;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBU;
    return static_cast<std::size_t>(z ^ (z >> 31)) & (slots - 1);
}

}  // namespace

bool FileSet::insert(const platform::FileIdentity& file) {
    for (Device& device : devices_)
        if (device.device == file.device) return insert_number(device, file.number);
    devices_.push_back({file.device, std::vector<std::uint64_t>(FIRST_SLOTS, 0), 0, false});
    return insert_number(devices_.back(), file.number);
}

bool FileSet::contains(const platform::FileIdentity& file) const {
    for (const Device& device : devices_)
        if (device.device == file.device) return has_number(device, file.number);
    return false;
}

bool FileSet::has_number(const Device& device, std::uint64_t number) {
    if (number == 0) return device.has_zero;
    const std::size_t mask = device.slots.size() - 1;
    for (std::size_t at = slot_of(number, device.slots.size());; at = (at + 1) & mask) {
        if (device.slots[at] == number) return true;
        if (device.slots[at] == 0) return false;
    }
}

bool FileSet::insert_number(Device& device, std::uint64_t number) {
    if (number == 0) {
        const bool added = !device.has_zero;
        device.has_zero = true;
        return added;
    }
    const std::size_t mask = device.slots.size() - 1;
    for (std::size_t at = slot_of(number, device.slots.size());; at = (at + 1) & mask) {
        if (device.slots[at] == number) return false;
        if (device.slots[at] != 0) continue;
        device.slots[at] = number;
        // At most three quarters full, so that a search ends soon.
        if (++device.used * 4 > device.slots.size() * 3) grow(device);
        return true;
    }
}

void FileSet::grow(Device& device) {
    std::vector<std::uint64_t> old(device.slots.size() * 2, 0);
    old.swap(device.slots);
    const std::size_t mask = device.slots.size() - 1;
    for (const std::uint64_t number : old) {
        if (number == 0) continue;
        std::size_t at = slot_of(number, device.slots.size());
        while (device.slots[at] != 0)
            at = (at + 1) & mask;
        device.slots[at] = number;
    }
}

}  // namespace pelorin::results
