// html: one page to share, self-contained: its styles inline, its charts
// inline SVG, no script and nothing fetched from anywhere (a content
// security policy says so to the browser as well). The group's top types,
// mean scores and statements first, then one ranked chart per person, each
// chart's numbers also in a table. It reads on a phone and on a wide screen
// alike and prints on A4, each person on a page of their own. The people
// wait in a spool until the group's charts are written.
#include <algorithm>
#include <array>
#include <cstdio>

#include "app/results/commands.h"
#include "app/results/group.h"
#include "app/results/ranking.h"
#include "app/results/spool.h"

namespace pelorin::results {
namespace {

constexpr std::string_view STYLE = R"(
:root{font-family:system-ui,-apple-system,"Segoe UI",Roboto,"Helvetica Neue",Arial,sans-serif;
 line-height:1.45;color:#1d1d1f;background:#fff}
body{margin:0 auto;padding:1rem;max-width:72rem}
h1{font-size:1.6rem;margin:.25rem 0 .5rem}
h2{font-size:1.25rem;margin:1.75rem 0 .5rem}
h1,h2,p,li,td{overflow-wrap:anywhere}
.pair{display:grid;grid-template-columns:minmax(0,1fr);gap:.5rem 2rem;align-items:start}
@media (min-width:60rem){.pair{grid-template-columns:minmax(0,1fr) minmax(0,1fr)}}
figure{margin:0}
svg{display:block;width:100%;max-width:26rem;height:auto}
svg text{font-size:13px;fill:#1d1d1f}
.bar{fill:#4f7cac}
.top .bar{fill:#b4472b}
.wrap{overflow-x:auto}
table{border-collapse:collapse;font-size:.9rem;margin:.25rem 0 1rem}
caption{text-align:left;font-weight:600;padding:.25rem 0}
th,td{text-align:left;padding:.2rem .6rem .2rem 0;border-bottom:1px solid #d8d8dc;vertical-align:top}
th{font-weight:600}
.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
tr.top td{font-weight:600}
.path{color:#5b5b60;font-size:.85rem;margin-top:-.25rem}
.person{border-top:2px solid #d8d8dc;margin-top:2rem}
@page{size:A4;margin:15mm}
@media print{
 body{max-width:none;padding:0}
 .person{border-top:none;margin-top:0}
 .group~.person{break-before:page}
 figure,tr{break-inside:avoid}
 svg{max-width:15cm}
 .bar{print-color-adjust:exact;-webkit-print-color-adjust:exact}
})";

// Chart geometry, in the SVG's own units: the label, the value right-aligned
// before the bar, the bar.
constexpr int CHART_WIDTH = 320;
constexpr int ROW = 20;
constexpr int VALUE_END = 86;
constexpr int BAR_START = 92;
constexpr int LONGEST_BAR = CHART_WIDTH - BAR_START - 4;

struct Bar {
    std::string label;
    std::string value;
    double size = 0;  // against the largest of the chart
    bool top = false;
};

// A displayable text as HTML text or attribute value.
std::string escaped(std::string_view shown) {
    std::string out;
    for (const char c : shown) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            case KEEP_TOGETHER:
                out += "&#160;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// The bars as long against `full`, or against the longest when it is 0.
std::string svg_chart(std::string_view label, const std::vector<Bar>& bars, double full = 0) {
    double largest = full;
    for (const Bar& bar : bars)
        if (full == 0) largest = std::max(largest, bar.size);
    const int height = static_cast<int>(bars.size()) * ROW + 4;
    std::string out = "<svg viewBox=\"0 0 " + std::to_string(CHART_WIDTH) + ' ' +
                      std::to_string(height) + "\" role=\"img\" aria-label=\"" + escaped(label) +
                      "\">\n";
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const Bar& bar = bars[i];
        const std::string y = std::to_string(static_cast<int>(i) * ROW + 16);
        const double length = largest > 0 && bar.size > 0 ? bar.size / largest * LONGEST_BAR : 0;
        out += bar.top ? "<g class=\"top\">" : "<g>";
        out += "<text x=\"0\" y=\"" + y + "\">" + escaped(bar.label) + "</text>";
        out += "<text x=\"" + std::to_string(VALUE_END) + "\" y=\"" + y + "\" text-anchor=\"end\">";
        out += escaped(bar.value) + "</text>";
        out += "<rect class=\"bar\" x=\"" + std::to_string(BAR_START) + "\" y=\"";
        out += std::to_string(static_cast<int>(i) * ROW + 4) + "\" width=\"" + number(length);
        out += "\" height=\"14\"/></g>\n";
    }
    return out + "</svg>\n";
}

// A table of displayable cells; the columns in `numbers` right-aligned; rows
// marked in `tops` emphasised.
std::string html_table(std::string_view caption, const std::vector<std::string_view>& headings,
                       const std::vector<std::vector<std::string>>& rows,
                       const std::vector<bool>& numbers, const std::vector<bool>& tops = {}) {
    const auto cell = [&](std::string_view tag, std::size_t c, std::string_view text) {
        return '<' + std::string(tag) + (numbers[c] ? " class=\"n\"" : "") +
               (tag == "th" ? " scope=\"col\"" : "") + '>' + escaped(text) + "</" +
               std::string(tag) + '>';
    };
    std::string out =
        "<div class=\"wrap\"><table><caption>" + escaped(caption) + "</caption>\n<thead><tr>";
    for (std::size_t c = 0; c < headings.size(); ++c)
        out += cell("th", c, headings[c]);
    out += "</tr></thead>\n<tbody>\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out += r < tops.size() && tops[r] ? "<tr class=\"top\">" : "<tr>";
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            out += cell("td", c, rows[r][c]);
        out += "</tr>\n";
    }
    return out + "</tbody></table></div>\n";
}

// A chart of the 16 types and its table.
std::string type_chart(std::string_view title, std::string_view value_heading,
                       const std::vector<ChartRow>& rows) {
    std::vector<Bar> bars;
    std::vector<std::vector<std::string>> cells;
    std::vector<bool> tops;
    for (const ChartRow& row : rows) {
        bars.push_back({std::string(TypeOrder[row.type]), row.value, row.size, row.top});
        cells.push_back(
            {std::string(TypeOrder[row.type]), std::string(TypeNames[row.type]), row.value});
        tops.push_back(row.top);
    }
    return "<div class=\"pair\"><figure>" + svg_chart(title, bars) + "</figure>\n" +
           html_table(title, {"Type", "Name", value_heading}, cells, {false, false, true}, tops) +
           "</div>\n";
}

std::string plural(std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + ' ' + std::string(n == 1 ? one : many);
}

// What the spool keeps of a person: name, path, the 16 score texts, the
// expected type and the confidence.
std::string person_record(const Person& person) {
    const auto& texts = person.record.score_texts;
    return packed({person.name,
                   person.path,
                   texts[1],
                   texts[2],
                   texts[3],
                   texts[4],
                   texts[5],
                   texts[6],
                   texts[7],
                   texts[8],
                   texts[9],
                   texts[10],
                   texts[11],
                   texts[12],
                   texts[13],
                   texts[14],
                   texts[15],
                   texts[16],
                   person.record.expected_type,
                   person.record.confidence});
}

Person person_from(std::string_view record) {
    const std::vector<std::string_view> fields = unpacked(record);
    Person person;
    person.name = fields[0];
    person.path = fields[1];
    typetest::ResultsRecord& r = person.record;
    for (std::size_t t = 1; t <= TYPE_COUNT; ++t) {
        r.score_texts[t] = fields[1 + t];
        r.scores[t] = typetest::score_units(fields[1 + t]).value_or(0);
    }
    r.expected_type = fields[2 + TYPE_COUNT];
    r.confidence = fields[3 + TYPE_COUNT];
    person.top = top_types(r.scores);
    person.expected = named_type(r.expected_type);
    person.expected_rank = person.expected == 0 ? 0 : rank_of(r.scores, person.expected);
    return person;
}

class Html : public Command {
  public:
    Html(const Settings& settings, Write write)
        : settings_(settings),
          utf8_(settings.terminal ? settings.style.utf8 : true),
          write_(std::move(write)) {}

    void add(const Person& person) override {
        group_.add(person);
        if (group_.files() == 1) first_name_ = person.name;
        people_.add(sort_key(person, settings_.sort), person_record(person));
    }

    void finish(std::size_t read) override {
        std::string files = plural(group_.files(), "results file", "results files");
        if (!settings_.selection.empty())
            files += ' ' + settings_.selection + ", of " + std::to_string(read) + " read";
        const std::string title =
            group_.files() == 1 ? "Pelorin results: " + shown(first_name_) : "Pelorin results";
        write_(
            "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "style-src 'unsafe-inline'\">\n<title>" +
            escaped(title) + "</title>\n<style>" + std::string(STYLE) +
            "\n</style>\n</head>\n<body>\n<h1>" + escaped(title) + "</h1>\n<p>" +
            escaped(group_.files() == 0 && read == 0 ? "No results file was read." : files + '.') +
            "</p>\n");
        if (group_.files() > 1) write_group();
        std::size_t n = 0;
        people_.drain(
            [&](std::string_view record) { write_(person_section(person_from(record), ++n)); });
        write_("</body>\n</html>\n");
    }

  private:
    std::string shown(std::string_view text) const { return displayable(text, utf8_); }

    void write_group() {
        std::string out =
            "<section class=\"group\">\n<h2>Top type, and in how many files</h2>\n" +
            type_chart("Top type, and in how many files", "Files", group_.top_count_rows());
        if (group_.ties() > 0)
            out += "<p>" +
                   plural(group_.ties(), "file has a tie at the top and counts",
                          "files have a tie at the top and count") +
                   " once for each tied type.</p>\n";
        out += "<h2>Mean score of each type</h2>\n" +
               type_chart("Mean score of each type", "Mean score", group_.mean_rows());
        out += "<p>The expected type was the top type in " +
               std::to_string(group_.expected_on_top()) + " of " +
               plural(group_.files(), "file.", "files.") + "</p>\n";
        write_(out + statements());
        if (group_.without_expected() > 0) {
            write_("<h2>No expected type, or none of the 16 types, in " +
                   plural(group_.without_expected(), "file", "files") + "</h2>\n<ul>\n");
            group_.drain_without_expected(
                [&](std::string_view name) { write_("<li>" + escaped(shown(name)) + "</li>\n"); });
            write_("</ul>\n");
        }
        write_("</section>\n");
    }

    std::string statements() const {
        const std::string title = "The statements, from the most agreed with to the least";
        std::vector<Bar> bars;
        std::vector<std::vector<std::string>> cells;
        for (const StatementShare& s : group_.statements_by_share()) {
            const std::string share = percent(s.yes, s.answered);
            const double size = s.answered == 0 ? 0 : static_cast<double>(s.yes) / s.answered;
            bars.push_back({std::to_string(s.statement), share, size, false});
            cells.push_back({std::to_string(s.statement),
                             std::string(statement_texts()[s.statement]),
                             std::to_string(s.yes) + " of " + std::to_string(s.answered), share});
        }
        return "<h2>" + title + "</h2>\n<p>The share of the files answering yes.</p>\n" +
               "<div class=\"pair\"><figure>" + svg_chart(title, bars, 1) + "</figure>\n" +
               html_table(title, {"No.", "Statement", "Yes", "Share"}, cells,
                          {true, false, true, true}) +
               "</div>\n";
    }

    std::string person_section(const Person& person, std::size_t n) const {
        const typetest::ResultsRecord& r = person.record;
        std::vector<ChartRow> rows;
        for (const std::size_t t : rank_order(r.scores))
            rows.push_back(
                {t, r.score_texts[t], static_cast<double>(r.scores[t]),
                 std::find(person.top.begin(), person.top.end(), t) != person.top.end()});
        const std::string name = escaped(shown(person.name));
        return "<section class=\"person\" id=\"person-" + std::to_string(n) + "\">\n<h2>" + name +
               "</h2>\n<p class=\"path\">" + escaped(shown(person.path)) + "</p>\n<p>" +
               escaped(top_sentence(person)) + "</p>\n<p>" +
               escaped(expected_sentence(person, utf8_)) + "</p>\n" +
               type_chart("Scores of " + shown(person.name), "Score", rows) + "</section>\n";
    }

    Settings settings_;
    bool utf8_;  // the texts of files keep their UTF-8 characters
    Write write_;
    GroupTally group_;
    Spool people_;
    std::string first_name_;
};

}  // namespace

std::unique_ptr<Command> make_html(const Settings& settings, Write write) {
    return std::make_unique<Html>(settings, std::move(write));
}

}  // namespace pelorin::results
