// Test fixture for everything that writes to or reads from the console: each
// test starts with the text services and the platform as at start, on a
// fresh in-memory console.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console_api.h"
#include "platform/testing/coords.h"
#include "platform/testing/memory_console.h"
#include "textio/channels.h"
#include "textio/console_output.h"
#include "textio/status.h"
#include "textio/testing/start_afresh.h"

namespace pelorin::textio {

using platform::at;
using platform::rect;

class ConsoleTest : public ::testing::Test {
  protected:
    void SetUp() override { start_afresh(); }
    void TearDown() override { start_afresh(); }

    // Starts afresh on a new console of `columns` x `rows` whose window
    // shows the top `window_rows` rows (all when 0).
    platform::MemoryConsole& install(int columns, int rows, int window_rows = 0) {
        console_ = std::make_unique<platform::MemoryConsole>(columns, rows, window_rows);
        start_afresh(console_.get());
        return *console_;
    }

    platform::MemoryConsole& con() { return *console_; }

    // The bytes straight to the engine, flags 0.
    static void write(std::string_view bytes) { console_write_raw(bytes.data(), bytes.size(), 0); }

    // Every row of the screen buffer, full width.
    std::vector<std::string> screen() const {
        std::vector<std::string> rows;
        for (int y = 0; y < console_->size().y; ++y)
            rows.push_back(console_->row_text(y));
        return rows;
    }

  private:
    std::unique_ptr<platform::MemoryConsole> console_;
};

}  // namespace pelorin::textio
