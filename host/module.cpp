#include "module.hpp"

#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zpk::host {

Module::~Module() { close(); }

Module::Module(Module &&other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Module &Module::operator=(Module &&other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

#if defined(_WIN32)

Module Module::open(const std::string &path, std::string &error) {
    HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) {
        DWORD code = GetLastError();
        char text[512] = {0};
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, sizeof text - 1, nullptr);
        std::string message(text);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                    message.back() == ' ' || message.back() == '.')) {
            message.pop_back();
        }
        error = "LoadLibrary error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
        return Module();
    }
    return Module(reinterpret_cast<void *>(handle));
}

void *Module::symbol(const char *name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void Module::close() {
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

#else

Module Module::open(const std::string &path, std::string &error) {
    // A bare name would be searched for on the library path; a plug-in is always named by path.
    std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    void *handle = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *why = dlerror();
        error = why != nullptr ? why : "dlopen failed";
        return Module();
    }
    return Module(handle);
}

void *Module::symbol(const char *name) const {
    if (handle_ == nullptr) return nullptr;
    return dlsym(handle_, name);
}

void Module::close() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

#endif

}  // namespace zpk::host
