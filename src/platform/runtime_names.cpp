// Per-device-root names in the runtime folder.
#include "platform/runtime_names.h"
#include "platform/user_folders.h"

#include "platform/single_instance.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace telvara::platform {

namespace {

std::string env(const char* name) {
    return environment_variable(name);
}

} // namespace

std::string device_root_tag(std::string_view device_root) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : device_root) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    char tag[20];
    std::snprintf(tag, sizeof(tag), "-%016llx", static_cast<unsigned long long>(hash));
    return tag;
}

std::string default_device_root_from_environment() {
    std::string root = env("TELVARA_ROOT");
    if (root.empty()) {
        std::string data = env("XDG_DATA_HOME");
        if (data.empty() || data.front() != '/') {
            const std::string home = home_folder();
            data = home.empty() ? std::string() : home + "/.local/share";
        }
        root = data.empty() ? "/tmp/telvara-" + std::to_string(::getuid()) : data + "/telvara";
    }
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

std::string sim_control_socket_for(std::string_view device_root) {
    std::string error;
    const std::string folder = runtime_folder(error);
    if (folder.empty())
        return {};
    return folder + "/telvara-modem" + device_root_tag(device_root) + ".sock";
}

} // namespace telvara::platform
