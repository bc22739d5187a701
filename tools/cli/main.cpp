// orbiqa-cli: the module link, transfers and parameter files from a terminal or a script.
#include <QCoreApplication>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "Console.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // The engine's waits and the port's hand-overs run on Qt's event loop; no widgets.
    QCoreApplication app(argc, argv);
    orbiqa::cli::PrepareConsole();
    orbiqa::cli::Io io{std::cout, std::cerr, orbiqa::cli::StderrIsTerminal(), true};
    try {
        return orbiqa::cli::RunCli(args, io);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "orbiqa-cli: unexpected error: " << e.what() << "\n";
        return orbiqa::cli::kExitUsage;
    }
}
