// pelorin-results: the command line (GNU style, parsed by getopt_long), the
// reading of each file, and the exit code.
#pragma once

namespace pelorin::results {

inline constexpr int EXIT_ALL_READ = 0;
inline constexpr int EXIT_SOME_NOT_READ = 1;
inline constexpr int EXIT_USAGE = 2;

// Runs the whole program; returns its exit code. argv[0] is replaced by the
// program's name, which every message starts with.
int run_command_line(int argc, char** argv);

}  // namespace pelorin::results
