// A plug-in module loaded by path through the operating system's loader, with its entry points
// bound by name. The one place that knows dlopen from LoadLibrary.
#ifndef ZPK_HOST_MODULE_HPP
#define ZPK_HOST_MODULE_HPP

#include <string>

namespace zpk::host {

class Module {
public:
    Module() = default;
    ~Module();
    Module(Module &&other) noexcept;
    Module &operator=(Module &&other) noexcept;
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    // Loads the module file at `path`. On failure returns an empty module and sets `error` to the
    // loader's own words.
    static Module open(const std::string &path, std::string &error);

    bool isOpen() const { return handle_ != nullptr; }
    // The address exported under exactly `name`, or nullptr.
    void *symbol(const char *name) const;

private:
    explicit Module(void *handle) : handle_(handle) {}
    void close();
    void *handle_ = nullptr;
};

}  // namespace zpk::host

#endif
