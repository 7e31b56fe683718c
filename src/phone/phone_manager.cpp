// Placing calls and messages, opening addresses and files.
#include "phone/phone_manager.h"

#include "data/document.h"
#include "phone/phone_settings.h"
#include "phone/process.h"
#include "phone/telephone.h"
#include "platform/clock.h"
#include "runtime/fatal_error.h"
#include "runtime/log.h"
#include "runtime/paths.h"
#include "runtime/registry.h"

#include <filesystem>
#include <unistd.h>

namespace telvara::phone {
namespace {

PhoneManager* g_instance = nullptr;

constexpr std::string_view k_default_handler = "xdg-open %1";

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

using Values = std::vector<std::pair<char, std::string>>;

bool run_command(WStringView setting, const Values& values) {
    const Argv argv =
        fill_command(split_command(command_setting(setting, k_default_handler)), values, '1');
    log_line() << u"cmd_line = " << describe_command(argv) << u"\n";
    return spawn_program(argv).has_value();
}

bool run_argv(const Argv& argv) {
    log_line() << u"cmd_line = " << describe_command(argv) << u"\n";
    return spawn_program(argv).has_value();
}

// A web address without a scheme is taken as http; it then can never be
// read as an option or a local file by the handler.
std::string web_address(std::string address) {
    std::size_t i = 0;
    auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!address.empty() && alpha(address[0])) {
        i = 1;
        while (i < address.size() &&
               (alpha(address[i]) || (address[i] >= '0' && address[i] <= '9') ||
                address[i] == '+' || address[i] == '.' || address[i] == '-'))
            ++i;
        if (i < address.size() && address[i] == ':')
            return address;
    }
    return "http://" + address;
}

} // namespace

PhoneManager::PhoneManager(Telephone* telephone) : m_telephone(telephone) {
    if (g_instance != nullptr)
        runtime::fatal_error(u"Singleton::Singleton()", u"Singleton is already instantiated");
    g_instance = this;
    m_target = std::make_unique<platform::MessageTarget>(
        u"PhoneManager", [this](platform::Message& message) -> std::intptr_t {
            if (message.id == platform::WM_HAND_OFF_ENDED)
                on_hand_off_ended(message.wparam, message.lparam);
            return 0;
        });
}

PhoneManager::~PhoneManager() {
    if (g_instance == this)
        g_instance = nullptr;
}

PhoneManager* PhoneManager::instance() {
    return g_instance;
}

void PhoneManager::notify(WStringView key, WStringView detail) {
    if (m_hooks.notify)
        m_hooks.notify(key, detail);
}

bool PhoneManager::hand_off(WStringView setting, const Values& values, WStringView opening,
                            WStringView missing) {
    const Argv argv =
        fill_command(split_command(command_setting(setting, k_default_handler)), values, '1');
    log_line() << u"cmd_line = " << describe_command(argv) << u"\n";
    // A handler that starts but finds no program for the address ends with
    // a failure status: the user hears of that too.
    const std::uintptr_t id = m_next_hand_off++;
    const platform::TargetRef target = m_target->ref();
    const bool started = spawn_program(argv, [target, id](int status) {
                             platform::post(target, platform::WM_HAND_OFF_ENDED, id, status);
                         }).has_value();
    if (started)
        m_running[id] = WString(missing);
    notify(started ? opening : missing);
    return started;
}

void PhoneManager::on_hand_off_ended(std::uintptr_t id, std::intptr_t status) {
    const auto it = m_running.find(id);
    if (it == m_running.end())
        return;
    const WString missing = std::move(it->second);
    m_running.erase(it);
    log_line() << u"hand-off " << static_cast<unsigned long long>(id) << u" ended, status "
               << static_cast<long long>(status) << u"\n";
    if (status != 0)
        notify(missing);
}

WString PhoneManager::last_outgoing_number() {
    const data::Document* document = data::Document::instance();
    if (document == nullptr)
        return {};
    for (const data::RecentCall& recent : document->recent_calls().calls()) {
        if (recent.call.kind == data::CallKind::Outgoing && recent.call.number != u"Unknown" &&
            !recent.call.number.empty())
            return recent.call.number;
    }
    return {};
}

void PhoneManager::call_number(WStringView number) {
    WString redial;
    if (number.empty()) {
        // The call key with nothing typed calls the last number again.
        redial = last_outgoing_number();
        log_line() << u"PhoneManager::call_number redial " << redial << u"\n";
        if (redial.empty()) {
            notify(kNoticeNoRedial);
            return;
        }
        number = redial;
    }
    if (number.front() == u'*') {
        log_line() << u"telephone.call " << number << u"\n";
        if (m_telephone == nullptr)
            return;
        if (!m_telephone->line_open())
            m_telephone->reset();
        if (!m_telephone->line_open()) {
            log_line() << u"telephone.call: the line is not open\n";
            notify(kNoticeNoLine);
            return;
        }
        if (!m_telephone->send_service_code(number)) {
            log_line() << u"telephone.call: not a service code\n";
            notify(kNoticeNotServiceCode);
            return;
        }
        notify(kNoticeSendingCode, number);
        return;
    }
    log_line() << u"PhoneManager::call_number " << number << u"\n";
    if (m_telephone != nullptr && m_telephone->current_call() != 0) {
        notify(kNoticeCallInProgress);
        return;
    }
    // A number that was not dialled is nobody's: storing it would name the
    // ongoing call, or the next withheld caller, after it.
    if (make_call(number))
        m_telephone->set_caller_number(number, CallerNotify::always);
}

bool PhoneManager::make_call(WStringView number) {
    return make_call(number, DialKind::normal);
}

bool PhoneManager::make_call(WStringView number, DialKind kind) {
    ++m_calls_placed;
    if (m_telephone == nullptr || !m_telephone->dial(number, kind)) {
        log_line() << u"PhoneManager::make_call: cannot dial " << number << u"\n";
        return false;
    }
    return true;
}

std::uint64_t PhoneManager::call_starts() const {
    return m_calls_placed + (m_telephone != nullptr ? m_telephone->calls_offered() : 0);
}

bool PhoneManager::send_sms(WStringView number, WStringView text) {
    const std::string number8 = to_utf8(number);
    const std::string text8 = to_utf8(text);
    std::string uri = "sms:" + percent_encode(number8, "+*");
    if (!text8.empty())
        uri += "?body=" + percent_encode(text8);
    return hand_off(u"SmsCommand", {{'1', uri}, {'n', number8}, {'t', text8}},
                    kNoticeOpeningMessages, kNoticeNoMessages);
}

bool PhoneManager::open_sms_chat(WStringView number) {
    WString chat;
    if (runtime::install_dir(u"KELMA Messly", u"Messly.exe", chat))
        return execute_file(chat, WString(u"open:") + WString(number));
    return send_sms(number, u"");
}

bool PhoneManager::send_mail(WStringView address) {
    const std::string address8 = to_utf8(address);
    return hand_off(u"MailCommand",
                    {{'1', "mailto:" + percent_encode(address8, "@+")}, {'a', address8}},
                    kNoticeOpeningMail, kNoticeNoMail);
}

bool PhoneManager::open_url(WStringView address) {
    if (address.empty())
        return false;
    log_line() << u"open_url " << address << u"\n";
    return hand_off(u"WebCommand", {{'1', web_address(to_utf8(address))}}, kNoticeOpeningWeb,
                    kNoticeNoWeb);
}

bool PhoneManager::execute_file(WStringView path, WStringView parameters) {
    const WString expanded = runtime::expand_path(path);
    log_line() << u"execute_file(" << expanded << u", " << parameters << u")\n";
    const WString shown = expanded.substr(expanded.find_last_of(u"\\/") + 1);
    const auto result = [&](bool started) {
        notify(started ? kNoticeOpeningFile : kNoticeNoFile, shown);
        return started;
    };
    if (expanded.empty())
        return result(false);
    std::string file = runtime::native_path(expanded);
    const std::string parameters8 = to_utf8(parameters);
    std::error_code error;
    const bool has_folder = file.find('/') != std::string::npos;
    if (!has_folder && !std::filesystem::exists(file, error)) {
        // A program name, looked up in PATH.
        Argv argv{file};
        if (!parameters8.empty())
            argv.push_back(parameters8);
        return result(run_argv(argv));
    }
    if (!std::filesystem::exists(file, error))
        return result(false);
    if (!has_folder)
        file = "./" + file; // never mistaken for a PATH name or an option
    if (std::filesystem::is_regular_file(file, error) && ::access(file.c_str(), X_OK) == 0) {
        Argv argv{file};
        if (!parameters8.empty())
            argv.push_back(parameters8);
        return result(run_argv(argv));
    }
    if (file.front() == '-')
        file = "./" + file;
    return result(run_command(u"OpenCommand", {{'1', file}}));
}

std::uint32_t PhoneManager::missed_call_count() {
    return phone::missed_call_count();
}

void PhoneManager::reset_missed_call_count() {
    phone::reset_missed_call_count();
}

} // namespace telvara::phone
