#include "cli/cli.h"

#include "app/all_state.h"
#include "guiding/sequence_guiding.h"

#include <iostream>

int main(int argc, char** argv) {
    reset_all_state();
    install_guiding_hooks();
    return run_cli(argc, argv, std::cout, std::cerr);
}
