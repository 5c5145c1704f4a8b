#include "cli/cli.h"

#include "display/image_store.h"

#include <iostream>

int main(int argc, char** argv) {
    bind_buffers();
    return run_cli(argc, argv, std::cout, std::cerr);
}
