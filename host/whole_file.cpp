#include "whole_file.hpp"

#include "input_error.hpp"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace zpk::host {

namespace {

namespace fs = std::filesystem;

// A name beside `target` that no other run uses at the same time.
fs::path temporaryBeside(const fs::path &target) {
    std::random_device random;
    fs::path temporary = target;
    temporary += ".tmp" + std::to_string(random()) + std::to_string(random());
    return temporary;
}

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!kept_) {
            std::error_code ignored;
            fs::remove(path_, ignored);
        }
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    const fs::path &path() const { return path_; }
    void keep() { kept_ = true; }

private:
    fs::path path_;
    bool kept_ = false;
};

}  // namespace

void writeWholeFile(const std::string &path, const std::string &content) {
    const fs::path target(path);
    TemporaryFile temporary(temporaryBeside(target));
    {
        std::ofstream out(temporary.path(), std::ios::binary);
        out << content;
        out.close();
        if (!out) throw InputError("cannot write '" + path + "'");
    }
    std::error_code error;
    fs::rename(temporary.path(), target, error);
    if (error) {
        // Some systems refuse to rename over an existing file.
        std::error_code ignored;
        fs::remove(target, ignored);
        fs::rename(temporary.path(), target, error);
    }
    if (error) throw InputError("cannot write '" + path + "': " + error.message());
    temporary.keep();
}

}  // namespace zpk::host
