// The commands over results files: show (a chart per file), table (a line
// per person), csv (a row per file), summary (a report on the group) and
// html (a page to share). Each takes the files one at a time, as they are
// read, and writes as it goes or, for what needs the whole group, at the
// end; nothing kept grows with the group beyond a bounded spool.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/results/chart.h"
#include "app/results/inputs.h"

namespace pelorin::results {

enum class CommandKind { show, table, csv, summary, html };

// The order of a table's lines or a page's people; `read`: as read.
enum class SortKey { read, name, top, rank, confidence };

struct Settings {
    ChartStyle style;
    bool terminal = false;  // standard output is a terminal
    SortKey sort = SortKey::read;
    bool all_statements = false;  // summary: every statement, not only five each way
    // Which files the filters keep, as a summary or page says it ("with LII
    // on top"); empty without filters.
    std::string selection;
};

using Write = std::function<void(std::string_view text)>;

class Command {
  public:
    virtual ~Command() = default;
    virtual void add(const Person& person) = 0;
    // `read`: the files read in all, the filters' choice or not.
    virtual void finish(std::size_t read) = 0;
};

std::unique_ptr<Command> make_command(CommandKind kind, const Settings& settings, Write write);

// ---- what more than one command says of a file ---------------------------

// "EIE+LII": the top types' codes.
std::string top_codes(const Person& person);
// "LII logical-intuitive introtim comes out on top with 20.84."
std::string top_sentence(const Person& person);
// "You expected LII (80 %): it ranks 1st of 16." Displayable texts;
// KEEP_TOGETHER where no line may break.
std::string expected_sentence(const Person& person, bool utf8);
// The order `sort` puts people in, as bytes to compare.
std::string sort_key(const Person& person, SortKey sort);

// The commands themselves, in their own files.
std::unique_ptr<Command> make_table(const Settings& settings, Write write);
std::unique_ptr<Command> make_csv(const Settings& settings, Write write);
std::unique_ptr<Command> make_summary(const Settings& settings, Write write);
std::unique_ptr<Command> make_html(const Settings& settings, Write write);

}  // namespace pelorin::results
