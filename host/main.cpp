// zpkhost: loads indicator plug-ins by path, shows what they offer, runs their functions on daily
// prices read from a CSV file (as formulas, printed as CSV or JSON and drawn as a chart), and checks
// a plug-in against the rules of the interface.
#include "commands.hpp"
#include "input_error.hpp"

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#endif

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

// The words of the command line in UTF-8, as the rest of zpkhost reads them. Windows hands a
// program's main() its words in the ANSI code page, where most characters are lost; they are taken
// from the UTF-16 command line instead.
std::vector<std::string> commandLineWords(int argc, char **argv) {
#if defined(_WIN32)
    int count = 0;
    LPWSTR *words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words != nullptr) {
        std::vector<std::string> utf8;
        for (int i = 0; i < count; ++i) {
            const int size = WideCharToMultiByte(CP_UTF8, 0, words[i], -1, nullptr, 0, nullptr, nullptr);
            std::string word(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
            if (size > 1) WideCharToMultiByte(CP_UTF8, 0, words[i], -1, word.data(), size, nullptr, nullptr);
            utf8.push_back(word);
        }
        LocalFree(words);
        return utf8;
    }
#endif
    return std::vector<std::string>(argv, argv + argc);
}

void addInfoCommand(CLI::App &app, zpk::host::InfoRequest &request) {
    CLI::App *info = app.add_subcommand(
        "info", "List the module's functions with their descriptions and arguments");
    info->add_option("MODULE", request.modulePath, "Path of the plug-in module")->required();
}

void addRunCommand(CLI::App &app, zpk::host::RunRequest &request, std::string &format) {
    CLI::App *run = app.add_subcommand(
        "run",
        "Run formulas on the prices: zpkhost run --prices FILE.csv --module MODULE... FORMULA...\n"
        "(or one function: zpkhost run MODULE FUNCTION --prices FILE.csv [NAME=VALUE ...])");
    run->add_option("WORDS", request.words,
                    "With --module: formulas such as 'MyMov(BrevanePeriod(close), 10, Exponential)', "
                    "arguments by position or NAME=VALUE, a data array a price series (open, high, "
                    "low, close, volume, oi) or another call. Without: MODULE FUNCTION NAME=VALUE...");
    run->add_option("--module,-m", request.modulePaths,
                    "A plug-in module whose functions the formulas call (repeat for more)")
        ->type_name("MODULE")
        ->allow_extra_args(false);
    run->add_option("--prices", request.pricesPath,
                    "CSV file with a header row: Date, Open, High, Low, Close, optionally Volume and "
                    "OpenInterest")
        ->type_name("FILE.csv")
        ->required();
    run->add_option("--format", format, "Output on stdout: csv (the default) or json")
        ->type_name("FORMAT")
        ->transform(CLI::IsMember({"csv", "json"}, CLI::ignore_case));
    run->add_option("--range", request.range,
                    "FROM:TO, dates of the bars to print and draw (either may be left empty)")
        ->type_name("FROM:TO");
    run->add_option("--chart", request.chartPath, "Also draw the prices and every call into this SVG file")
        ->type_name("FILE.svg");
}

void addCheckCommand(CLI::App &app, zpk::host::CheckRequest &request) {
    CLI::App *check = app.add_subcommand(
        "check", "Check plug-in modules against the rules of the interface; one line per broken rule");
    check->add_option("MODULE", request.modulePaths, "Paths of the plug-in modules")->required();
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"zpkhost: runs indicator plug-ins on daily prices", "zpkhost"};
    // Options are written --name everywhere; a word starting with '/' is a path, also on Windows
    // (where the parser would otherwise take it for an option).
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    zpk::host::InfoRequest infoRequest;
    zpk::host::RunRequest runRequest;
    zpk::host::CheckRequest checkRequest;
    std::string format = "csv";
    addInfoCommand(app, infoRequest);
    addRunCommand(app, runRequest, format);
    addCheckCommand(app, checkRequest);

    // CLI11 takes the words after the program's name, last first.
    std::vector<std::string> words = commandLineWords(argc, argv);
    std::vector<std::string> reversed(words.rbegin(), words.rend() - (words.empty() ? 0 : 1));
    try {
        app.parse(reversed);
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
        if (app.got_subcommand("check")) return zpk::host::checkModules(checkRequest, std::cout);
        runRequest.format = format == "json" ? zpk::host::OutputFormat::Json : zpk::host::OutputFormat::Csv;
        return zpk::host::runCalls(runRequest, std::cout, std::cerr);
    } catch (const zpk::host::InputError &e) {
        complain(e.what());
        return ExitBadInput;
    }
}
