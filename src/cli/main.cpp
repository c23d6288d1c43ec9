#include "cli/cli_program.h"

int main(int argc, char** argv) {
    return vellumark::cli::runCli(argc, argv);
}
