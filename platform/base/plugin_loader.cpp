#include "platform/base/plugin_loader.h"

#include <climits>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

namespace velk::platform {

namespace {

// The folder of the running program, with a closing slash ("" when unknown).
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "";
    const std::string whole(path, static_cast<size_t>(length));
    const size_t slash = whole.rfind('/');
    return slash == std::string::npos ? "" : whole.substr(0, slash + 1);
}

}  // namespace

PluginEntry LoadPlugin(const PluginNames& names, const char* build_path, const char* symbol) {
    PluginEntry plugin;
    std::vector<std::string> candidates = {ProgramFolder() + names.file};
    if (build_path != nullptr) candidates.emplace_back(build_path);
    for (const std::string& path : candidates) {
        if (access(path.c_str(), F_OK) != 0) continue;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            plugin.problem =
                std::string("the ") + names.libraries + " could not be loaded: " + (why != nullptr ? why : path);
            return plugin;
        }
        plugin.entry = dlsym(handle, symbol);
        if (plugin.entry == nullptr)
            plugin.problem = std::string("the ") + names.kind + " plug-in " + path + " has no entry point";
        return plugin;
    }
    plugin.problem = std::string("the ") + names.kind + " plug-in " + names.file + " was not found";
    return plugin;
}

}  // namespace velk::platform
