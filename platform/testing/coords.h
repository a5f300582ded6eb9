// Screen positions and rectangles as tests write them, and how GoogleTest
// prints them when an expectation fails.
#pragma once

#include <ostream>

#include "platform/console_api.h"

namespace pelorin::platform {

constexpr Coord at(int x, int y) {
    return Coord{x, y};
}

constexpr Rect rect(int left, int top, int right, int bottom) {
    return Rect{left, top, right, bottom};
}

inline void PrintTo(const Coord& c, std::ostream* os) {
    *os << '(' << c.x << ", " << c.y << ')';
}

inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << '{' << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << '}';
}

}  // namespace pelorin::platform
