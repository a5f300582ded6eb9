// Process entry of pelorin-results, the companion program that shows the
// results files pelorin writes.
#include "app/results/command_line.h"

int main(int argc, char** argv) {
    return pelorin::results::run_command_line(argc, argv);
}
