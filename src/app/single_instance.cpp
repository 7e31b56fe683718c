// The single-instance state and the start-up's search for a running instance.
#include "app/single_instance.h"

#include "app/message_box.h"
#include "platform/clock.h"
#include "platform/single_instance.h"
#include "runtime/log.h"
#include "runtime/paths.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace telvara::app {

namespace {

class InstanceWindow final : public platform::InstanceReceiver {
  public:
    bool bring_dialog_to_front() override {
        if (!message_box_open())
            return false;
        raise_message_box();
        return true;
    }
    bool deliver(WString command_line) override {
        std::lock_guard lock(m_mutex);
        return m_window && platform::post(command_line_message(m_window, command_line));
    }
    void set_window(platform::TargetRef window) {
        std::lock_guard lock(m_mutex);
        m_window = std::move(window);
    }

  private:
    std::mutex m_mutex;
    platform::TargetRef m_window;
};

// The process-wide single-instance state.
struct State {
    WString application_name;
    WString class_name;
    WString command_line;
    std::unique_ptr<platform::InstanceServer> server;
    InstanceWindow window;
};

State& state() {
    static State instance;
    return instance;
}

void log_line(WStringView text) {
    runtime::log() << platform::tick_count() << u" " << text << u"\n";
}

} // namespace

WString window_class_name(WStringView application_name) {
    return u"RezuvirClass_" + WString(application_name);
}

WString encode_command_line(WStringView command_line) {
    return command_line.empty() ? WString(kCommandLineEmpty) : WString(command_line);
}

WString decode_command_line(WStringView received) {
    return received == kCommandLineEmpty ? WString() : WString(received);
}

std::string instance_name(WStringView class_name, const std::string& device_root) {
    // FNV-1a: stable across runs and builds, unlike std::hash.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : device_root) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    char suffix[20];
    std::snprintf(suffix, sizeof(suffix), "-%016llx", static_cast<unsigned long long>(hash));
    return to_utf8(class_name) + suffix;
}

InstanceCheck check_running_instance(WStringView command_line, WStringView application_name,
                                     std::string* why) {
    runtime::log() << u"Application::show_running_instance_open_bracket cmd_line=" << command_line
                   << u"\n";
    State& s = state();
    s.application_name = WString(application_name);
    s.class_name = window_class_name(application_name);
    s.command_line = WString(command_line);

    std::string error;
    std::string note;
    const std::string folder = platform::runtime_folder(error, &note);
    if (!note.empty()) {
        log_line(u"Application::show_running_instance " + from_utf8(note));
        if (why != nullptr)
            *why = note;
    }
    platform::InstanceClaim claim;
    if (!folder.empty())
        claim = platform::InstanceClaim::claim(folder,
                                               instance_name(s.class_name, runtime::device_root()),
                                               encode_command_line(command_line));
    else
        claim.error = error;

    switch (claim.outcome) {
    case platform::ClaimOutcome::Primary:
        s.server = std::move(claim.server);
        return InstanceCheck::OnlyInstance;
    case platform::ClaimOutcome::HandedOver:
        runtime::log() << u"Application::EnumProc window found hwnd=" << long(claim.peer)
                       << u" 1\n";
        runtime::log() << u"Application::EnumProc window found 2\n";
        return InstanceCheck::HandedOver;
    case platform::ClaimOutcome::BroughtToFront:
        runtime::log() << u"Application::EnumProc window found 2\n";
        return InstanceCheck::HandedOver;
    case platform::ClaimOutcome::NoAnswer:
        log_line(u"Application::show_running_instance " + from_utf8(claim.error));
        if (why != nullptr)
            *why = claim.error;
        return InstanceCheck::NoAnswer;
    case platform::ClaimOutcome::Unavailable:
        break;
    }
    // Without a lock of our own another instance could run on the same root
    // unseen (or someone else could hold ours): refuse rather than start alone.
    runtime::log() << u"Application::show_running_instance_open_bracket mutex==0\n";
    log_line(u"Application::show_running_instance " + from_utf8(claim.error));
    if (why != nullptr)
        *why = claim.error;
    return InstanceCheck::Unsafe;
}

bool show_running_instance(WStringView command_line, WStringView application_name) {
    return check_running_instance(command_line, application_name) != InstanceCheck::OnlyInstance;
}

void open_instance_window(platform::TargetRef window) {
    State& s = state();
    s.window.set_window(std::move(window));
    if (s.server)
        s.server->serve(s.window);
}

void close_single_instance() {
    State& s = state();
    if (s.server)
        s.server->stop();
    s.window.set_window({});
    s.server.reset();
}

platform::Message command_line_message(platform::TargetRef window, WStringView command_line) {
    platform::Message message;
    message.target = std::move(window);
    message.id = platform::WM_COPYDATA;
    message.data_id = 0;
    // Two bytes per character, no terminating zero.
    message.data.reserve(command_line.size() * 2);
    for (char16_t c : command_line) {
        message.data.push_back(std::uint8_t(c));
        message.data.push_back(std::uint8_t(c >> 8));
    }
    return message;
}

} // namespace telvara::app
