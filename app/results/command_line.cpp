#include "app/results/command_line.h"

#include <getopt.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include "app/results/commands.h"
#include "app/results/ranking.h"
#include "app/results/spool.h"
#include "platform/standard_output_kind.h"
#include "platform/standard_streams.h"
#include "typetest/report.h"

namespace pelorin::results {
namespace {

char program_name[] = "pelorin-results";
// The version the questionnaire writes into its results files.
constexpr std::string_view VERSION =
    typetest::RESULTS_TITLE.substr(typetest::RESULTS_TITLE_START.size());
constexpr int WIDEST_CHART = 1000;
constexpr int WIDTH_WHEN_NOT_A_TERMINAL = 80;

constexpr char USAGE[] = R"(Usage: pelorin-results [OPTION]... COMMAND [FILE]...
Show the results files that pelorin writes, one by one or for a whole group.

Commands:
  show [FILE]...   each file's 16 scores as a ranked bar chart, the top type
                   marked, and where the expected type ranks (default FILE:
                   RESULTS.TXT)
  table FILE...    one line per person: the top type and its score, the
                   expected type, its rank, whether it came out on top, and
                   the confidence
  csv FILE...      one row per file, as comma-separated values that a
                   spreadsheet opens unchanged
  summary FILE...  for a group: how often each type came out on top, the mean
                   score of each type, how often the expected type was the
                   top type, the statements most and least agreed with, and
                   who named no expected type
  html FILE...     one web page, to share or print: the group's charts and
                   each person's, with their numbers in tables

A FILE that is a folder is searched, with the folders in it, for files named
RESULTS.TXT (in any letter case); links to folders are not followed. A file
named RESULTS.TXT takes the name of its folder (class/alice/RESULTS.TXT is
alice), any other file its own name without its extension. A FILE of - is
standard input. A file reached twice is read once.

Options:
  -w, --width=COLUMNS    draw COLUMNS wide (20 to 1000; default: the width of
                         the terminal, 80 when output is not a terminal)
      --files-from=LIST  also read the files and folders named in LIST, one
                         per line (- for standard input)
  -0, --null             the names in LIST end with a NUL character, as
                         find -print0 writes them
      --top=TYPE         only the files whose top type is TYPE (LII, INTj)
      --expected=TYPE    only the files whose expected type is TYPE
      --sort=KEY         table and html: order by KEY: name, top (the top
                         type), rank (of the expected type) or confidence
                         (default: as read)
      --items            summary: every statement, not only the five most and
                         the five least agreed with
  -h, --help             show this help and exit
  -V, --version          show the version and exit

Charts are drawn with block characters and the top type in bold on a
terminal (no bold when NO_COLOR is set), and in plain ASCII text otherwise.

Exit status: 0 when every file was read, 1 when any could not be read (the
others are still shown), 2 for a usage error, 3 when memory ran out.
)";

constexpr int EXIT_OUT_OF_MEMORY = 3;

enum Option { FILES_FROM = 256, TOP, EXPECTED, SORT, ITEMS };

struct Invocation {
    CommandKind command = CommandKind::show;
    std::string command_name;
    InputNames inputs;
    int width = 0;  // 0: the terminal's
    std::size_t top = 0;
    std::size_t expected = 0;
    std::optional<SortKey> sort;
    bool items = false;
};

// One line on standard error, after the program's name.
void complain(const std::string& message) {
    std::fputs((std::string(program_name) + ": " + message + '\n').c_str(), stderr);
}

[[noreturn]] void out_of_memory() {
    std::fputs("pelorin-results: out of memory\n", stderr);
    std::_Exit(EXIT_OUT_OF_MEMORY);
}

int usage_error(const std::string& message) {
    if (!message.empty()) complain(message);
    std::fputs("Try 'pelorin-results --help' for more information.\n", stderr);
    return EXIT_USAGE;
}

std::optional<int> width_option(std::string_view text) {
    int width = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), width);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (width < NARROWEST_CHART || width > WIDEST_CHART) return std::nullopt;
    return width;
}

constexpr std::pair<std::string_view, CommandKind> COMMANDS[] = {{"show", CommandKind::show},
                                                                 {"table", CommandKind::table},
                                                                 {"csv", CommandKind::csv},
                                                                 {"summary", CommandKind::summary},
                                                                 {"html", CommandKind::html}};
constexpr std::pair<std::string_view, SortKey> SORT_KEYS[] = {{"name", SortKey::name},
                                                              {"top", SortKey::top},
                                                              {"rank", SortKey::rank},
                                                              {"confidence", SortKey::confidence}};

// What `name` stands for in a table of names.
template <typename T, std::size_t N>
std::optional<T> named(const std::pair<std::string_view, T> (&table)[N], std::string_view name) {
    for (const auto& [known, value] : table)
        if (name == known) return value;
    return std::nullopt;
}

// An option's value, or the usage error it makes.
std::variant<Invocation, int> take_option(int c, Invocation invocation) {
    const std::string value = optarg != nullptr ? optarg : "";
    const std::string shown = displayable(value, false);
    switch (c) {
        case 'w': {
            const std::optional<int> width = width_option(value);
            if (!width) return usage_error("invalid width '" + shown + "'");
            invocation.width = *width;
            break;
        }
        case '0':
            invocation.inputs.null_separated = true;
            break;
        case FILES_FROM:
            invocation.inputs.lists.push_back(value);
            break;
        case TOP:
        case EXPECTED: {
            const std::size_t type = named_type(value);
            if (type == 0) return usage_error("invalid type '" + shown + "'");
            (c == TOP ? invocation.top : invocation.expected) = type;
            break;
        }
        case SORT:
            invocation.sort = named(SORT_KEYS, value);
            if (!invocation.sort) return usage_error("invalid sort key '" + shown + "'");
            break;
        case ITEMS:
            invocation.items = true;
            break;
        default:
            return usage_error("");  // getopt_long has said what is wrong
    }
    return invocation;
}

// What the operands and the options' mix may not be.
std::optional<int> inconsistent(const Invocation& i) {
    const auto& names = i.inputs;
    if (names.operands.empty() && names.lists.empty() && i.command != CommandKind::show)
        return usage_error(i.command_name + ": missing FILE");
    if (names.null_separated && names.lists.empty()) return usage_error("-0 needs --files-from");
    const auto from_standard_input = [](const std::vector<std::string>& v) {
        return std::count(v.begin(), v.end(), "-");
    };
    if (from_standard_input(names.operands) + from_standard_input(names.lists) > 1)
        return usage_error("standard input (-) can be read only once");
    if (i.sort && i.command != CommandKind::table && i.command != CommandKind::html)
        return usage_error("--sort is for table and html");
    if (i.items && i.command != CommandKind::summary) return usage_error("--items is for summary");
    return std::nullopt;
}

// The invocation, or the exit code when the program ends at once (help,
// version, a usage error).
std::variant<Invocation, int> parse(int argc, char** argv) {
    static const option long_options[] = {{"width", required_argument, nullptr, 'w'},
                                          {"files-from", required_argument, nullptr, FILES_FROM},
                                          {"null", no_argument, nullptr, '0'},
                                          {"top", required_argument, nullptr, TOP},
                                          {"expected", required_argument, nullptr, EXPECTED},
                                          {"sort", required_argument, nullptr, SORT},
                                          {"items", no_argument, nullptr, ITEMS},
                                          {"help", no_argument, nullptr, 'h'},
                                          {"version", no_argument, nullptr, 'V'},
                                          {nullptr, 0, nullptr, 0}};
    Invocation invocation;
    bool help = false;
    bool version = false;
    for (int c; (c = getopt_long(argc, argv, "w:0hV", long_options, nullptr)) != -1;) {
        if (c == 'h' || c == 'V') {
            (c == 'h' ? help : version) = true;
            continue;
        }
        std::variant<Invocation, int> taken = take_option(c, std::move(invocation));
        if (taken.index() == 1) return taken;
        invocation = std::move(std::get<0>(taken));
    }
    if (help) {
        std::fputs(USAGE, stdout);
        return EXIT_ALL_READ;
    }
    if (version) {
        std::fputs(("pelorin-results (Pelorin) " + std::string(VERSION) + '\n').c_str(), stdout);
        return EXIT_ALL_READ;
    }
    if (optind >= argc) return usage_error("missing command");
    const std::optional<CommandKind> command = named(COMMANDS, argv[optind]);
    if (!command) return usage_error("unknown command '" + displayable(argv[optind], false) + "'");
    invocation.command = *command;
    invocation.command_name = argv[optind];
    invocation.inputs.operands.assign(argv + optind + 1, argv + argc);
    if (const std::optional<int> error = inconsistent(invocation)) return *error;
    if (invocation.inputs.operands.empty() && invocation.inputs.lists.empty())
        invocation.inputs.operands.emplace_back(typetest::RESULTS_FILE);
    return invocation;
}

ChartStyle chart_style(const platform::StandardOutputKind& out, int width) {
    const char* no_color = std::getenv("NO_COLOR");
    ChartStyle style;
    style.utf8 = out.utf8;
    style.blocks = out.is_terminal && out.utf8;
    style.bold =
        out.is_terminal && out.takes_sequences && (no_color == nullptr || *no_color == '\0');
    style.width = width > 0                            ? width
                  : out.is_terminal && out.columns > 0 ? out.columns
                                                       : WIDTH_WHEN_NOT_A_TERMINAL;
    return style;
}

// "with LII on top and ILE expected"; empty without filters.
std::string selection(const Invocation& i) {
    std::string out;
    if (i.top != 0) out += "with " + std::string(TypeOrder[i.top]) + " on top";
    if (i.expected != 0)
        out += (out.empty() ? "with " : " and ") + std::string(TypeOrder[i.expected]) + " expected";
    return out;
}

bool chosen(const Invocation& i, const Person& person) {
    const bool top =
        i.top == 0 || std::find(person.top.begin(), person.top.end(), i.top) != person.top.end();
    return top && (i.expected == 0 || person.expected == i.expected);
}

void write_out(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int run(const Invocation& invocation) {
    const platform::StandardOutputKind out = platform::examine_standard_output();
    // Redirected, output leaves in large writes.
    static char buffer[1 << 16];
    if (!out.is_terminal) std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    Settings settings;
    settings.style = chart_style(out, invocation.width);
    settings.terminal = out.is_terminal;
    settings.sort = invocation.sort.value_or(SortKey::read);
    settings.all_statements = invocation.items;
    settings.selection = selection(invocation);
    const bool utf8 = settings.style.utf8;
    Inputs inputs(invocation.inputs, [utf8](std::string_view path, const std::string& detail) {
        complain(displayable(path, utf8) + ':' + detail);
    });
    const std::unique_ptr<Command> command = make_command(invocation.command, settings, write_out);
    Person person;
    std::size_t read = 0;
    // A reader gone away leaves nothing to do.
    while (std::ferror(stdout) == 0 && inputs.next(person)) {
        ++read;
        if (chosen(invocation, person)) command->add(person);
    }
    command->finish(read);
    if (inputs.repeats() > 0)
        complain("note: " +
                 (inputs.repeats() == 1
                      ? std::string("a file was reached twice and counts once: ")
                      : std::to_string(inputs.repeats()) +
                            " files were reached again and count once; the first: ") +
                 displayable(inputs.first_repeat(), utf8));
    return inputs.all_read() ? EXIT_ALL_READ : EXIT_SOME_NOT_READ;
}

}  // namespace

int run_command_line(int argc, char** argv) {
    if (argc < 1) return usage_error("missing command");
    argv[0] = program_name;
    std::set_new_handler(out_of_memory);
    // Every line end as written, help and csv alike; a file read from
    // standard input ("-") read whole.
    platform::set_standard_streams_binary();
    int code = EXIT_ALL_READ;
    try {
        const std::variant<Invocation, int> parsed = parse(argc, argv);
        code = parsed.index() == 1 ? std::get<1>(parsed) : run(std::get<0>(parsed));
    } catch (const std::bad_alloc&) {
        out_of_memory();
    } catch (const SpoolError& error) {
        complain(error.what);
        code = EXIT_SOME_NOT_READ;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        complain(std::string("write error: ") + std::strerror(errno));
        code = EXIT_SOME_NOT_READ;
    }
    return code;
}

}  // namespace pelorin::results
