#include "cli/cli.h"

#include "app/all_state.h"

#include <iostream>

int main(int argc, char** argv) {
    reset_all_state();
    return run_cli(argc, argv, std::cout, std::cerr);
}
