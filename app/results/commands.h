// The three commands over results files that have been read: show (one
// chart per file), csv (one table row per file) and summary (one report for
// a group). Each returns the text to print.
#pragma once

#include <span>
#include <string>

#include "app/results/chart.h"
#include "typetest/results_file.h"

namespace pelorin::results {

struct ReadFile {
    std::string name;  // as given on the command line
    typetest::ResultsRecord record;
};

// The file's name and top type, its ranked chart, and where the expected type ranks.
std::string show_results(const ReadFile& file, const ChartStyle& style);

// Lines end in CR LF, as RFC 4180 has them.
std::string csv_header();
std::string csv_row(const ReadFile& file);

// How many files, how often each type came out on top, the mean score of
// each type, and how often the expected type was the top type.
std::string summarise(std::span<const ReadFile> files, const ChartStyle& style);

}  // namespace pelorin::results
