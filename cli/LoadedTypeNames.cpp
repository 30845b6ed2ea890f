#include "LoadedTypeNames.h"

#include <dlfcn.h>
#include <limits.h>
#include <memory>
#include <unistd.h>

namespace vantrel::cli {

TypeNameProvider loadedTypeNames(std::string modulePath) {
    struct State {
        std::string path;
        bool tried = false;
        TypeNameProvider provider;
    };
    auto state = std::make_shared<State>();
    state->path = std::move(modulePath);
    return [state](std::string_view name, bool isFolder) {
        if (!state->tried) {
            state->tried = true;
            // Never closed: the library it brings cannot be unloaded safely.
            void* module = ::dlopen(state->path.c_str(), RTLD_NOW | RTLD_LOCAL);
            using Make = void* (*)();
            const auto make = module == nullptr
                                  ? nullptr
                                  : reinterpret_cast<Make>(::dlsym(module, "vantrelMakeTypeNames"));
            if (make != nullptr) {
                std::unique_ptr<TypeNameProvider> made(static_cast<TypeNameProvider*>(make()));
                if (made)
                    state->provider = std::move(*made);
            }
        }
        return state->provider ? state->provider(name, isFolder) : std::string();
    };
}

std::string typeNamesModuleBesideProgram() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    std::string folder = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    const std::size_t slash = folder.rfind('/');
    folder.resize(slash == std::string::npos ? 0 : slash + 1);
    // Beside the program in a build folder; in the prefix's lib/vantrel once installed.
    const std::string beside = folder + "libvantrel_typenames_module.so";
    const std::string installed = folder + "../lib/vantrel/libvantrel_typenames_module.so";
    return ::access(beside.c_str(), R_OK) == 0 || ::access(installed.c_str(), R_OK) != 0
               ? beside
               : installed;
}

} // namespace vantrel::cli
