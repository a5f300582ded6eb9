// Scrolling a rectangle of a grid of cells the way the Windows console's
// ScrollConsoleScreenBufferA does it, for every console that keeps its cells
// itself (the in-memory console, the terminal's screen model).
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/console_api.h"

namespace pelorin::platform {

// Moves the cells of `source`, clipped to the cols x rows grid (row by row in
// `cells`), so that its top-left lands on `dest`; the cells of `source` that
// the moved copy does not cover become `fill`, and whatever of the copy
// falls outside the grid is lost. False, and nothing changes, when `source`
// lies outside the grid.
template <typename Cell>
bool scroll_cells(std::vector<Cell>& cells, int cols, int rows, Rect source, Coord dest,
                  const Cell& fill) {
    const int left = std::max<int>(source.left, 0);
    const int top = std::max<int>(source.top, 0);
    const int right = std::min<int>(source.right, cols - 1);
    const int bottom = std::min<int>(source.bottom, rows - 1);
    if (left > right || top > bottom) return false;
    const auto at = [cols](int x, int y) {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(cols) +
               static_cast<std::size_t>(x);
    };
    // Snapshot the source, fill it, then lay the snapshot down at the
    // destination.
    std::vector<Cell> saved;
    saved.reserve(static_cast<std::size_t>(right - left + 1) *
                  static_cast<std::size_t>(bottom - top + 1));
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            saved.push_back(cells[at(x, y)]);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            cells[at(x, y)] = fill;
    const int dx = dest.x + (left - source.left);
    const int dy = dest.y + (top - source.top);
    std::size_t i = 0;
    for (int y = dy; y <= dy + bottom - top; ++y) {
        for (int x = dx; x <= dx + right - left; ++x, ++i) {
            if (x >= 0 && y >= 0 && x < cols && y < rows) cells[at(x, y)] = saved[i];
        }
    }
    return true;
}

}  // namespace pelorin::platform
