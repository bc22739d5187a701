// orbiqa-cli: the module link, transfers and parameter files from a terminal or a script.
#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <exception>
#include <memory>
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "Console.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // The engine's waits and the port's hand-overs run on Qt's event loop; no widgets. The
    // service report lays out text with Qt Gui's fonts, which need a Gui application; it shows
    // nothing, so it needs no display either.
    const bool report = std::adjacent_find(args.begin(), args.end(), [](const std::string& a, const std::string& b) {
                            return a == "site" && b == "report";
                        }) != args.end();
#if !defined(_WIN32)
    if (report && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    std::unique_ptr<QCoreApplication> app =
        report ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
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
