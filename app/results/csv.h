// csv: one row per file, for spreadsheets and scripts alike, RFC 4180
// style: CR LF line ends; a field holding a comma, a double quote or a line
// break in double quotes, each double quote in it doubled.
#pragma once

#include <string>
#include <string_view>

namespace pelorin::results {

// A text as one field that a spreadsheet opens as that very text. A
// spreadsheet takes a field for a number, a date, a time, a truth value or a
// formula whenever it can, whatever its quotes: "007" would lose its zeros,
// a long row of digits its last ones, "1/2" become a date and "=1+1" run. A
// text it would change is written as the formula ="text", which gives the
// text back as it is; every other text as it is.
std::string csv_field(std::string_view text);

}  // namespace pelorin::results
