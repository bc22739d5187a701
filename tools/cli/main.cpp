// orbiqa-cli: the module link, transfers and parameter files from a terminal or a script.
#include <unistd.h>

#include <QCoreApplication>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // The engine's waits and the port's hand-overs run on Qt's event loop; no widgets.
    QCoreApplication app(argc, argv);
    orbiqa::cli::Io io{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
    try {
        return orbiqa::cli::RunCli(args, io);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "orbiqa-cli: unexpected error: " << e.what() << "\n";
        return orbiqa::cli::kExitUsage;
    }
}
