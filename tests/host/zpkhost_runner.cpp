#include "zpkhost_runner.hpp"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace zpk::test {

namespace fs = std::filesystem;

namespace {

// A built-in location, or the environment's when the tests run where the build folder is seen
// under another path.
std::string setting(const char *variable, const char *builtIn) {
    const char *overridden = std::getenv(variable);
    return overridden != nullptr ? overridden : builtIn;
}

std::string shellQuoted(const std::string &word) {
#if defined(_WIN32)
    return "\"" + word + "\"";
#else
    std::string quoted = "'";
    for (char c : word) {
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
#endif
}

int exitStatusOf(int systemResult) {
#if defined(_WIN32)
    return systemResult;
#else
    return WIFEXITED(systemResult) ? WEXITSTATUS(systemResult) : -1;
#endif
}

}  // namespace

std::string zpkhostPath() { return setting("ZPKHOST", ZPKHOST_PATH); }
std::string examplesDir() { return setting("ZPK_EXAMPLES_DIR", ZPK_EXAMPLES_DIR); }
std::string samplePrices() { return examplesDir() + "/prices.csv"; }

std::string readText(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    std::string text;
    for (char c : content.str()) {
        if (c != '\r') text += c;
    }
    return text;
}

std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> fieldsOf(const std::string &line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    if (!line.empty() && line.back() == ',') fields.push_back("");
    return fields;
}

void ZpkhostTest::SetUp() {
    std::random_device random;
    dir_ = fs::temp_directory_path() /
           ("zpkhost_test_" + std::to_string(random()) + "_" + std::to_string(random()));
    fs::create_directories(dir_);
}

void ZpkhostTest::TearDown() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

std::string ZpkhostTest::writeFile(const std::string &name, const std::string &content) {
    fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
}

Outcome ZpkhostTest::run(const std::vector<std::string> &args) {
    const fs::path out = dir_ / "stdout.txt";
    const fs::path err = dir_ / "stderr.txt";
    std::string command = shellQuoted(zpkhostPath());
    for (std::string arg : args) {
        if (arg.rfind("@dir/", 0) == 0) {
            arg = (dir_ / arg.substr(5)).string();
        } else if (arg.size() > 1 && arg[0] == '@') {
            arg = modulePath(arg.substr(1));
        }
        command += " " + shellQuoted(arg);
    }
    command += " > " + shellQuoted(out.string()) + " 2> " + shellQuoted(err.string());
#if defined(_WIN32)
    command = "\"" + command + "\"";  // cmd /c keeps the inner quotes only inside outer ones
#endif
    const int status = exitStatusOf(std::system(command.c_str()));
    return Outcome{status, readText(out), readText(err)};
}

}  // namespace zpk::test
