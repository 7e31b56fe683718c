// telvara-settings: reads and changes Telvara's settings store from the shell,
// for example to switch the diagnostic log on.
#include "platform/settings_store.h"
#include "runtime/paths.h"
#include "runtime/registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace telvara;

namespace {

constexpr const char* usage_text =
    "usage: telvara-settings [--root DIR] COMMAND\n"
    "       telvara-settings --help | --version\n"
    "\n"
    "commands:\n"
    "  list                          print every key and value (.reg format)\n"
    "  get KEY NAME                  print one value\n"
    "  set-dword KEY NAME VALUE      store a number (decimal or 0x hex, 0..4294967295)\n"
    "  set-string KEY NAME TEXT      store a text\n"
    "  delete KEY NAME               remove a value\n"
    "  log on|off                    switch the diagnostic log\n"
    "  path                          print the settings file's name\n"
    "\n"
    "KEY is a path such as HKEY_CURRENT_USER\\Software\\KELMA\\Telvara.\n"
    "The settings live in DIR/registry.reg; DIR defaults to $TELVARA_ROOT,\n"
    "else $XDG_DATA_HOME/telvara, else ~/.local/share/telvara.\n";

int usage_error(const std::string& message) {
    std::fprintf(stderr, "telvara-settings: %s\n\n%s", message.c_str(), usage_text);
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "telvara-settings: %s\n", message.c_str());
    return 1;
}

bool parse_dword(const std::string& text, std::uint32_t& out) {
    if (text.empty() || text.front() == '-' || text.front() == '+' || text.front() == ' ')
        return false;
    bool hex = text.starts_with("0x") || text.starts_with("0X");
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value > 0xFFFFFFFFull ||
        (hex && text.size() == 2))
        return false;
    out = static_cast<std::uint32_t>(value);
    return true;
}

bool known_root(const std::string& key) {
    for (std::string_view root :
         {"HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_USER"}) {
        if (key.starts_with(root) && (key.size() == root.size() || key[root.size()] == '\\'))
            return true;
    }
    return false;
}

int run(std::vector<std::string> args) {
    if (args.size() >= 2 && args[0] == "--root") {
        if (args[1].empty())
            return usage_error("--root needs a folder");
        runtime::set_device_root(args[1]);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty())
        return usage_error("no command given");
    const std::string& command = args[0];
    auto need = [&](std::size_t count) { return args.size() == count + 1; };
    auto check_key = [&](int& status) {
        if (known_root(args[1]))
            return true;
        status = failure("\"" + args[1] +
                         "\" does not start with HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, "
                         "HKEY_USERS or HKEY_CURRENT_USER");
        return false;
    };
    const std::string file = runtime::device_root() + "/registry.reg";
    int status = 0;

    if (command == "help" || command == "--help" || command == "-h") {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (command == "--version") {
        std::fputs("telvara-settings " TELVARA_VERSION "\n", stdout);
        return 0;
    }
    if (command == "path") {
        if (!need(0))
            return usage_error("path takes no arguments");
        std::printf("%s\n", file.c_str());
        return 0;
    }
    if (command == "list") {
        if (!need(0))
            return usage_error("list takes no arguments");
        auto& store = runtime::settings_store();
        std::string text = platform::serialize_settings(store.snapshot());
        for (const platform::SettingsProblem& problem : store.take_problems())
            std::fprintf(stderr, "telvara-settings: %s\n", problem.text.c_str());
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    if (command == "get") {
        if (!need(2))
            return usage_error("get needs KEY and NAME");
        if (!check_key(status))
            return status;
        WString key = from_utf8(args[1]);
        WString name = from_utf8(args[2]);
        std::uint32_t number = 0;
        WString text;
        if (runtime::reg_read_dword(key, name, number)) {
            std::printf("%u\n", number);
            return 0;
        }
        if (runtime::reg_read_string(key, name, text)) {
            std::printf("%s\n", to_utf8(text).c_str());
            return 0;
        }
        return failure("no value \"" + args[2] + "\" under " + args[1]);
    }
    if (command == "set-dword" || command == "set-string") {
        if (!need(3))
            return usage_error(command + " needs KEY, NAME and " +
                               (command == "set-dword" ? "VALUE" : "TEXT"));
        if (!check_key(status))
            return status;
        WString key = from_utf8(args[1]);
        WString name = from_utf8(args[2]);
        bool ok = false;
        if (command == "set-dword") {
            std::uint32_t number = 0;
            if (!parse_dword(args[3], number))
                return usage_error("\"" + args[3] +
                                   "\" is not a number from 0 to 4294967295 (decimal or 0x hex)");
            ok = runtime::reg_write_dword(key, name, number);
        } else {
            ok = runtime::reg_write_string(key, name, from_utf8(args[3]));
        }
        if (!ok)
            return failure("\"" + args[2] + "\" not stored: " + runtime::last_settings_error());
        return 0;
    }
    if (command == "delete") {
        if (!need(2))
            return usage_error("delete needs KEY and NAME");
        if (!check_key(status))
            return status;
        if (!runtime::reg_delete_value(from_utf8(args[1]), from_utf8(args[2]))) {
            const std::string why = runtime::last_settings_error();
            if (why == platform::kNoSuchSettingsValue)
                return failure("no value \"" + args[2] + "\" under " + args[1]);
            return failure("\"" + args[2] + "\" not deleted: " + why);
        }
        return 0;
    }
    if (command == "log") {
        if (!need(1) || (args[1] != "on" && args[1] != "off"))
            return usage_error("log needs on or off");
        bool on = args[1] == "on";
        if (!runtime::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\KELMA", u"Log", on ? 1 : 0))
            return failure("the log was not switched: " + runtime::last_settings_error());
        if (on)
            std::printf("log on: Telvara writes %s/Temp/<program name>.txt (UTF-16)\n",
                        runtime::device_root().c_str());
        else
            std::printf("log off\n");
        return 0;
    }
    return usage_error("unknown command \"" + command + "\"");
}

} // namespace

int main(int argc, char** argv) {
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
