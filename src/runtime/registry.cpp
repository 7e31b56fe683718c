// Registry-style access by key path to the process's settings store, and the
// reporting of the store's problems to the log.
#include "runtime/registry.h"

#include "platform/clock.h"
#include "platform/settings_store.h"
#include "runtime/log.h"
#include "runtime/paths.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <utility>

namespace telvara::runtime {

namespace {

using platform::SettingsRoot;

struct RootName {
    WStringView text;
    SettingsRoot root;
};

// Tested in this order.
constexpr std::array<RootName, 4> roots = {{
    {u"HKEY_CLASSES_ROOT", SettingsRoot::classes_root},
    {u"HKEY_LOCAL_MACHINE", SettingsRoot::local_machine},
    {u"HKEY_USERS", SettingsRoot::users},
    {u"HKEY_CURRENT_USER", SettingsRoot::current_user},
}};

struct KeyPath {
    SettingsRoot root = SettingsRoot::current_user;
    WStringView subkey;
};

// The root name must be followed by "\" or nothing: "HKEY_USERSX" is not a
// root, rather than a root with a mangled subkey.
bool parse_key_path(WStringView path, KeyPath& out) {
    for (const auto& root : roots) {
        if (!path.starts_with(root.text))
            continue;
        WStringView rest = path.substr(root.text.size());
        if (!rest.empty() && rest.front() != u'\\')
            return false;
        out.root = root.root;
        out.subkey = rest.empty() ? rest : rest.substr(1);
        return true;
    }
    return false;
}

std::string store_file() {
    return device_root() + "/registry.reg";
}

// The problems not yet shown, beside the store they come from (never
// destroyed either).
struct WaitingProblems {
    std::mutex mutex;
    std::vector<platform::SettingsProblem> list;
    std::atomic<bool> any{false};
};

WaitingProblems& waiting_problems() {
    alignas(WaitingProblems) static unsigned char storage[sizeof(WaitingProblems)];
    static WaitingProblems* waiting = ::new (storage) WaitingProblems();
    return *waiting;
}

// Problems go to the log after the store's call has returned: the log reads
// the store itself. A damaged file is also said on stderr, whoever asked; a
// failed change is the caller's to report (last_settings_error).
void report_problems(platform::SettingsStore& store) {
    if (!store.has_problems())
        return;
    WaitingProblems& waiting = waiting_problems();
    for (platform::SettingsProblem& problem : store.take_problems()) {
        if (problem.kind != platform::SettingsProblemKind::NotSaved)
            std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, problem.text.c_str());
        log() << platform::tick_count() << u" SettingsStore: " << from_utf8(problem.text) << u"\n";
        std::lock_guard lock(waiting.mutex);
        if (waiting.list.size() < kMaxWaitingSettingsProblems)
            waiting.list.push_back(std::move(problem));
        waiting.any.store(true, std::memory_order_release);
    }
}

} // namespace

platform::SettingsStore& settings_store() {
    // Never destroyed: objects torn down at exit may still log, and the log
    // reads the store.
    alignas(platform::SettingsStore) static unsigned char storage[sizeof(platform::SettingsStore)];
    static platform::SettingsStore* store = ::new (storage) platform::SettingsStore(store_file());
    return *store;
}

void reset_settings_store() {
    settings_store().bind(store_file());
    take_settings_problems();
}

std::string last_settings_error() {
    return settings_store().last_error();
}

bool settings_problems_waiting() {
    return waiting_problems().any.load(std::memory_order_acquire);
}

std::vector<platform::SettingsProblem> take_settings_problems() {
    WaitingProblems& waiting = waiting_problems();
    std::lock_guard lock(waiting.mutex);
    waiting.any.store(false, std::memory_order_relaxed);
    return std::exchange(waiting.list, {});
}

bool reg_read_dword(WStringView key_path, WStringView name, std::uint32_t& out) {
    KeyPath key;
    if (!parse_key_path(key_path, key))
        return false;
    auto& store = settings_store();
    bool ok = store.read_dword(key.root, key.subkey, name, out);
    report_problems(store);
    return ok;
}

bool reg_write_dword(WStringView key_path, WStringView name, std::uint32_t value) {
    KeyPath key;
    if (!parse_key_path(key_path, key))
        return false;
    auto& store = settings_store();
    bool ok = store.write_dword(key.root, key.subkey, name, value);
    report_problems(store);
    return ok;
}

bool reg_read_string(WStringView key_path, WStringView name, WString& out) {
    KeyPath key;
    if (!parse_key_path(key_path, key))
        return false;
    auto& store = settings_store();
    bool ok = store.read_string(key.root, key.subkey, name, out);
    report_problems(store);
    return ok;
}

bool reg_write_string(WStringView key_path, WStringView name, WStringView value) {
    KeyPath key;
    if (!parse_key_path(key_path, key))
        return false;
    auto& store = settings_store();
    bool ok = store.write_string(key.root, key.subkey, name, value);
    report_problems(store);
    return ok;
}

bool reg_delete_value(WStringView key_path, WStringView name) {
    KeyPath key;
    if (!parse_key_path(key_path, key))
        return false;
    auto& store = settings_store();
    bool ok = store.delete_value(key.root, key.subkey, name);
    report_problems(store);
    return ok;
}

bool install_dir(WStringView app_key, WStringView file_name, WString& out_path) {
    WString key = WString(u"HKEY_LOCAL_MACHINE\\Software\\Apps\\") + WString(app_key);
    WString folder;
    if (!reg_read_string(key, u"InstallDir", folder) || folder.empty()) {
        out_path.clear();
        return false;
    }
    out_path = folder + u"\\" + WString(file_name);
    struct stat st {};
    return ::stat(native_path(out_path).c_str(), &st) == 0;
}

} // namespace telvara::runtime
