#include "platform/user_folders.h"

#include <array>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace telvara::platform {

std::string environment_variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string home_folder() {
    std::string home = environment_variable("HOME");
    if (!home.empty())
        return home;
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr)
        return found->pw_dir;
    return {};
}

} // namespace telvara::platform
