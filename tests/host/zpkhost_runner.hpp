// zpkhost run as a separate program, the way a user runs it: its standard output and error go to
// files, its exit status is checked. Each test gets a folder of its own for the files it writes.
#ifndef ZPK_TESTS_ZPKHOST_RUNNER_HPP
#define ZPK_TESTS_ZPKHOST_RUNNER_HPP

#include "plugin_fixture.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zpk::test {

std::string zpkhostPath();
std::string examplesDir();
std::string samplePrices();  // examples/prices.csv

// A file's text with line ends as "\n", whatever the platform wrote.
std::string readText(const std::filesystem::path &path);
std::vector<std::string> linesOf(const std::string &text);
// The fields of a CSV line without quoting.
std::vector<std::string> fieldsOf(const std::string &line);

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class ZpkhostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes `content` byte for byte into the test's folder; returns the path.
    std::string writeFile(const std::string &name, const std::string &content);
    std::string pathIn(const std::string &name) const { return (dir_ / name).string(); }

    // Runs zpkhost with `args`. Words "@NAME" become the path of the built module NAME, words
    // "@dir/FILE" the path of FILE in the test's folder.
    Outcome run(const std::vector<std::string> &args);

    std::filesystem::path dir_;
};

}  // namespace zpk::test

#endif
