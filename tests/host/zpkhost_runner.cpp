#include "zpkhost_runner.hpp"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>
#else
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
    // The rules by which a Windows program cuts its command line into words: a quote inside is
    // written \", and backslashes are doubled only where a quote follows them.
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
#else
    std::string quoted = "'";
    for (char c : word) {
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
#endif
}

#if defined(_WIN32)
std::wstring wide(const std::string &text) {
    if (text.empty()) return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring converted(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(), length);
    return converted;
}

// A file handle the child inherits as its standard output or error.
HANDLE inheritableFile(const fs::path &path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs `commandLine` directly, not through cmd, whose own quoting would change the words.
int runProgram(const std::string &commandLine, const fs::path &out, const fs::path &err) {
    HANDLE outFile = inheritableFile(out);
    HANDLE errFile = inheritableFile(err);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outFile;
    startup.hStdError = errFile;
    PROCESS_INFORMATION process{};
    std::wstring line = wide(commandLine);
    DWORD status = static_cast<DWORD>(-1);
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(outFile);
    CloseHandle(errFile);
    return static_cast<int>(status);
}
#else
int runProgram(const std::string &commandLine, const fs::path &out, const fs::path &err) {
    const std::string command = commandLine + " > " + shellQuoted(out.string()) + " 2> " + shellQuoted(err.string());
    const int result = std::system(command.c_str());
    return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
}
#endif

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
    const int status = runProgram(command, out, err);
    return Outcome{status, readText(out), readText(err)};
}

}  // namespace zpk::test
