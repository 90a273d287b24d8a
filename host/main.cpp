// zpkhost: loads an indicator plug-in by path, shows what it offers, and runs its functions on
// daily prices read from a CSV file.
#include "commands.hpp"
#include "input_error.hpp"

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

namespace {

using zpk::host::ExitBadInput;

// Every complaint is one line on stderr, even when a loader's own words run over several.
void complain(const std::string &message) {
    std::string line = message;
    for (char &c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::cerr << "zpkhost: " << line << '\n';
}

void addInfoCommand(CLI::App &app, zpk::host::InfoRequest &request) {
    CLI::App *info = app.add_subcommand(
        "info", "List the module's functions with their descriptions and arguments");
    info->add_option("MODULE", request.modulePath, "Path of the plug-in module")->required();
}

void addRunCommand(CLI::App &app, zpk::host::RunRequest &request) {
    CLI::App *run = app.add_subcommand(
        "run", "Call one function of the module on the prices and print its output as CSV");
    run->add_option("MODULE", request.modulePath, "Path of the plug-in module")->required();
    run->add_option("FUNCTION", request.functionName, "Name of the function to call")->required();
    run->add_option("ARGUMENT", request.assignments,
                    "NAME=VALUE for every argument of the function: a price series (open, high, "
                    "low, close, volume, oi), a number, a text, or one of a custom argument's "
                    "strings");
    run->add_option("--prices", request.pricesPath,
                    "CSV file with a header row: Date, Open, High, Low, Close, Volume and "
                    "optionally OpenInterest")
        ->required();
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"zpkhost: runs indicator plug-ins on daily prices"};
    // Options are written --name everywhere; a word starting with '/' is a path, also on Windows
    // (where the parser would otherwise take it for an option).
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    zpk::host::InfoRequest infoRequest;
    zpk::host::RunRequest runRequest;
    addInfoCommand(app, infoRequest);
    addRunCommand(app, runRequest);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        complain(std::string(e.what()) + " (see zpkhost --help)");
        return ExitBadInput;
    }

    try {
        if (app.got_subcommand("info")) return zpk::host::showInfo(infoRequest, std::cout);
        return zpk::host::runFunction(runRequest, std::cout, std::cerr);
    } catch (const zpk::host::InputError &e) {
        complain(e.what());
        return ExitBadInput;
    }
}
