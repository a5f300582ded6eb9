// Process entry. The program takes no arguments: any that are given are ignored.
#include "app/program.h"

int main() {
    pelorin::app::set_float_environment();
    pelorin::app::program_start();
}
