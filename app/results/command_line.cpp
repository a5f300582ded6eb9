#include "app/results/command_line.h"

#include <getopt.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include "app/results/commands.h"
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
  csv FILE...      one table row per file, as comma-separated values
  summary FILE...  for a group: how often each type came out on top, the mean
                   score of each type, and how often the expected type was
                   the top type

Options:
  -w, --width=COLUMNS  draw COLUMNS wide (20 to 1000; default: the width of
                       the terminal, 80 when output is not a terminal)
  -h, --help           show this help and exit
  -V, --version        show the version and exit

A FILE of - is standard input. Charts are drawn with block characters and
the top type in bold on a terminal (no bold when NO_COLOR is set), and in
plain ASCII text otherwise.

Exit status: 0 when every file was read, 1 when any could not be read (the
others are still shown), 2 for a usage error.
)";

enum class Command { show, csv, summary };

struct Invocation {
    Command command = Command::show;
    std::vector<std::string> files;
    int width = 0;  // 0: the terminal's
};

// One line on standard error, after the program's name.
void complain(const std::string& message) {
    std::fputs((std::string(program_name) + ": " + message + '\n').c_str(), stderr);
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

std::optional<Command> command_named(std::string_view name) {
    if (name == "show") return Command::show;
    if (name == "csv") return Command::csv;
    if (name == "summary") return Command::summary;
    return std::nullopt;
}

// The invocation, or the exit code when the program ends at once (help,
// version, a usage error).
std::variant<Invocation, int> parse(int argc, char** argv) {
    static const option long_options[] = {{"width", required_argument, nullptr, 'w'},
                                          {"help", no_argument, nullptr, 'h'},
                                          {"version", no_argument, nullptr, 'V'},
                                          {nullptr, 0, nullptr, 0}};
    Invocation invocation;
    bool help = false;
    bool version = false;
    for (int c; (c = getopt_long(argc, argv, "w:hV", long_options, nullptr)) != -1;) {
        if (c == 'h') {
            help = true;
        } else if (c == 'V') {
            version = true;
        } else if (c == 'w') {
            const std::optional<int> width = width_option(optarg);
            if (!width) return usage_error("invalid width '" + displayable(optarg, false) + "'");
            invocation.width = *width;
        } else {
            return usage_error("");  // getopt_long has said what is wrong
        }
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
    const std::optional<Command> command = command_named(argv[optind]);
    if (!command) return usage_error("unknown command '" + displayable(argv[optind], false) + "'");
    invocation.command = *command;
    invocation.files.assign(argv + optind + 1, argv + argc);
    if (invocation.files.empty() && *command != Command::show)
        return usage_error(std::string(argv[optind]) + ": missing FILE");
    if (invocation.files.empty()) invocation.files.emplace_back(typetest::RESULTS_FILE);
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

struct Loaded {
    std::string bytes;
    std::string error;  // why the file could not be read; empty when it was
};

// The first bytes of a file ("-": standard input): one more than a results
// file can hold at most, so that no file is too large to be refused.
Loaded load(const std::string& name) {
    // Windows cannot open a directory at all, and says only that access is denied.
    struct stat info {};
    if (name != "-" && ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return {{}, "Is a directory"};
    std::FILE* f = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (f == nullptr) return {{}, std::strerror(errno)};
    Loaded out{std::string(typetest::RESULTS_SIZE_LIMIT + 1, '\0'), {}};
    std::size_t got = 0;
    for (std::size_t n = 1; n > 0 && got < out.bytes.size(); got += n)
        n = std::fread(out.bytes.data() + got, 1, out.bytes.size() - got, f);
    if (std::ferror(f) != 0) out.error = std::strerror(errno);
    if (f != stdin) std::fclose(f);
    out.bytes.resize(got);
    return out;
}

// The results in a file; a line on standard error when there are none.
std::optional<ReadFile> read_file(const std::string& name, bool utf8) {
    const std::string shown = displayable(name, utf8);
    const Loaded loaded = load(name);
    if (!loaded.error.empty()) {
        complain(shown + ": " + loaded.error);
        return std::nullopt;
    }
    auto read = typetest::read_results(loaded.bytes);
    if (const auto* problem = std::get_if<typetest::ResultsProblem>(&read)) {
        complain(shown + ':' + std::to_string(problem->line) + ": " + problem->what);
        return std::nullopt;
    }
    return ReadFile{name, std::move(std::get<typetest::ResultsRecord>(read))};
}

void write_out(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int run(const Invocation& invocation) {
    const ChartStyle style = chart_style(platform::examine_standard_output(), invocation.width);
    bool all_read = true;
    bool first = true;
    std::vector<ReadFile> group;
    if (invocation.command == Command::csv) write_out(csv_header());
    for (const std::string& name : invocation.files) {
        std::optional<ReadFile> file = read_file(name, style.utf8);
        if (!file) {
            all_read = false;
        } else if (invocation.command == Command::show) {
            if (!first) write_out("\n");
            write_out(show_results(*file, style));
            first = false;
        } else if (invocation.command == Command::csv) {
            write_out(csv_row(*file));
        } else {
            group.push_back(std::move(*file));
        }
    }
    if (invocation.command == Command::summary) write_out(summarise(group, style));
    return all_read ? EXIT_ALL_READ : EXIT_SOME_NOT_READ;
}

}  // namespace

int run_command_line(int argc, char** argv) {
    if (argc < 1) return usage_error("missing command");
    argv[0] = program_name;
    // Every line end as written, help and csv alike; a file read from
    // standard input ("-") read whole.
    platform::set_standard_streams_binary();
    const std::variant<Invocation, int> parsed = parse(argc, argv);
    int code = parsed.index() == 1 ? std::get<1>(parsed) : run(std::get<0>(parsed));
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        complain(std::string("write error: ") + std::strerror(errno));
        code = EXIT_SOME_NOT_READ;
    }
    return code;
}

}  // namespace pelorin::results
