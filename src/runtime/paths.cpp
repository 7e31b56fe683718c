// Path variables and the Linux side of file names: the module paths, the
// special folders and the device root.
//
// The special folders map onto the XDG folders a desktop user knows, or onto
// the device root where Linux has no counterpart:
//   %my_documents%   XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs, else ~/Documents
//   %appdata%        $XDG_CONFIG_HOME (default ~/.config)
//   %startup%        $XDG_CONFIG_HOME/autostart
//   %programs%       $XDG_DATA_HOME/applications (default ~/.local/share/applications)
//   %start_menu%     $XDG_DATA_HOME/applications
//   %favorites%      <device root>/Windows/Favorites
//   %windows%        <device root>/Windows
//   %program_files%  <device root>/Program Files
// A folder that cannot be found (no home folder) expands to the empty text.
#include "runtime/paths.h"
#include "platform/user_folders.h"

#include "platform/atomic_file.h"
#include "runtime/fatal_error.h"
#include "runtime/log.h"
#include "runtime/registry.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace telvara::runtime {

namespace {

constexpr std::size_t max_path = 1024;

enum class Variable {
    app_full_name,
    app_path,
    app_name,
    my_documents,
    windows,
    startup,
    favorites,
    programs,
    start_menu,
    appdata,
    program_files,
};

struct VariableName {
    WStringView text;
    Variable variable;
};

// Tested in this order; none is a prefix of another.
constexpr std::array<VariableName, 11> variables = {{
    {u"%app_full_name%", Variable::app_full_name},
    {u"%app_path%", Variable::app_path},
    {u"%app_name%", Variable::app_name},
    {u"%my_documents%", Variable::my_documents},
    {u"%windows%", Variable::windows},
    {u"%startup%", Variable::startup},
    {u"%favorites%", Variable::favorites},
    {u"%programs%", Variable::programs},
    {u"%start_menu%", Variable::start_menu},
    {u"%appdata%", Variable::appdata},
    {u"%program_files%", Variable::program_files},
}};

std::string env(const char* name) {
    return platform::environment_variable(name);
}

// An XDG base folder: the variable when it holds an absolute path (relative
// ones are invalid by the XDG rules), else the default under the home folder.
std::string xdg_folder(const char* variable, const char* default_under_home) {
    std::string value = env(variable);
    if (!value.empty() && value.front() == '/')
        return value;
    std::string home = platform::home_folder();
    return home.empty() ? std::string() : home + "/" + default_under_home;
}

std::string documents_folder() {
    std::string home = platform::home_folder();
    std::string config = xdg_folder("XDG_CONFIG_HOME", ".config");
    // A few lines of folder names; anything larger is not that file.
    constexpr std::size_t kUserDirsLimit = 64 * 1024;
    if (auto dirs = platform::read_whole_file(config + "/user-dirs.dirs", kUserDirsLimit)) {
        std::string_view text = *dirs;
        constexpr std::string_view key = "XDG_DOCUMENTS_DIR=\"";
        while (!text.empty()) {
            auto end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            if (!line.starts_with(key) || !line.ends_with('"'))
                continue;
            std::string_view value = line.substr(key.size(), line.size() - key.size() - 1);
            // "$HOME/" alone means the folder is switched off: use the default.
            if (value.starts_with("$HOME/") && value.size() > 6 && !home.empty())
                return home + std::string(value.substr(5));
            if (value.starts_with('/'))
                return std::string(value);
        }
    }
    return home.empty() ? std::string() : home + "/Documents";
}

WString variable_value(Variable variable, const ModulePaths& module) {
    auto under_root = [](const char* folder) { return from_utf8(device_root() + folder); };
    switch (variable) {
    case Variable::app_full_name:
        return module.full_name;
    case Variable::app_path:
        return module.folder;
    case Variable::app_name:
        return module.name;
    case Variable::my_documents:
        return from_utf8(documents_folder());
    case Variable::windows:
        return under_root("/Windows");
    case Variable::favorites:
        return under_root("/Windows/Favorites");
    case Variable::program_files:
        return under_root("/Program Files");
    case Variable::appdata:
        return from_utf8(xdg_folder("XDG_CONFIG_HOME", ".config"));
    case Variable::startup: {
        std::string config = xdg_folder("XDG_CONFIG_HOME", ".config");
        return config.empty() ? WString() : from_utf8(config + "/autostart");
    }
    case Variable::programs:
    case Variable::start_menu: {
        std::string data = xdg_folder("XDG_DATA_HOME", ".local/share");
        return data.empty() ? WString() : from_utf8(data + "/applications");
    }
    }
    return {};
}

ModulePaths read_module_paths() {
    // Larger than the limit, so that an over-long path is seen, not cut.
    std::array<char, 4 * max_path + 1> buffer{};
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0)
        return split_module_path({});
    if (static_cast<std::size_t>(n) >= buffer.size())
        fatal_error(u"get_app_path()", u"path is more then MAX_PATH long");
    ModulePaths paths =
        split_module_path(from_utf8(std::string_view(buffer.data(), static_cast<std::size_t>(n))));
    paths.folder = from_utf8(program_folder(to_utf8(paths.folder)));
    return paths;
}

const ModulePaths& module_paths() {
    static const ModulePaths paths = read_module_paths();
    return paths;
}

std::string default_device_root() {
    std::string root = env("TELVARA_ROOT");
    if (!root.empty())
        return root;
    std::string data = xdg_folder("XDG_DATA_HOME", ".local/share");
    if (!data.empty())
        return data + "/telvara";
    return "/tmp/telvara-" + std::to_string(::getuid());
}

std::string without_trailing_slashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string& device_root_storage() {
    static std::string root = without_trailing_slashes(default_device_root());
    return root;
}

} // namespace

ModulePaths split_module_path(WStringView full_name) {
    if (full_name.size() >= max_path)
        fatal_error(u"get_app_path()", u"path is more then MAX_PATH long");
    ModulePaths paths;
    paths.full_name.assign(full_name);
    auto separator = full_name.find_last_of(u"\\/");
    if (separator == WStringView::npos) {
        paths.folder.assign(full_name);
        paths.name.assign(full_name);
    } else {
        paths.folder.assign(full_name.substr(0, separator));
        paths.name.assign(full_name.substr(separator + 1));
    }
    return paths;
}

std::string program_folder(const std::string& binary_folder) {
    // The install rules put the data at this place relative to the binaries.
    namespace fs = std::filesystem;
    const fs::path installed =
        (fs::path(binary_folder.empty() ? "/" : binary_folder) / TELVARA_DATA_FROM_BINARIES)
            .lexically_normal();
    std::error_code error;
    if (fs::is_directory(installed, error))
        return installed.string();
    return binary_folder;
}

WString expand_path(WStringView path, const ModulePaths& module) {
    WString result;
    for (const auto& variable : variables) {
        if (path.starts_with(variable.text)) {
            result = variable_value(variable.variable, module);
            path.remove_prefix(variable.text.size());
            break;
        }
    }
    result.reserve(result.size() + path.size());
    for (char16_t c : path)
        result += c == u'/' ? u'\\' : c;
    return result;
}

WString expand_path(WStringView path) {
    return expand_path(path, module_paths());
}

WString get_app_path() {
    return module_paths().full_name;
}

std::string native_path(WStringView expanded) {
    std::string path = to_utf8(expanded);
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    if (!expanded.empty() && expanded.front() == u'\\') {
        const std::string& root = device_root();
        return root == "/" ? path : root + path;
    }
    return path;
}

std::string file_path(WStringView path) {
    return native_path(expand_path(path));
}

const std::string& device_root() {
    return device_root_storage();
}

void set_device_root(std::string root) {
    device_root_storage() = without_trailing_slashes(std::move(root));
    reset_settings_store();
    reset_log();
}

} // namespace telvara::runtime
