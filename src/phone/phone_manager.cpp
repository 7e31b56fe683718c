// Placing calls and messages, opening addresses and files.
#include "phone/phone_manager.h"

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
}

PhoneManager::~PhoneManager() {
    if (g_instance == this)
        g_instance = nullptr;
}

PhoneManager* PhoneManager::instance() {
    return g_instance;
}

void PhoneManager::set_idle() {
    if (m_hooks.set_idle)
        m_hooks.set_idle();
}

void PhoneManager::call_number(WStringView number) {
    set_idle();
    if (!number.empty() && number.front() == u'*') {
        log_line() << u"telephone.call " << number << u"\n";
        if (m_telephone == nullptr)
            return;
        if (!m_telephone->line_open())
            m_telephone->reset();
        if (!m_telephone->line_open()) {
            log_line() << u"telephone.call: the line is not open\n";
            return;
        }
        if (!m_telephone->send_service_code(number))
            log_line() << u"telephone.call: not a service code\n";
        return;
    }
    log_line() << u"PhoneManager::call_number " << number << u"\n";
    // A number that was not dialled is nobody's: storing it would name the
    // ongoing call, or the next withheld caller, after it.
    if (make_call(number))
        m_telephone->set_caller_number(number, CallerNotify::always);
}

bool PhoneManager::make_call(WStringView number) {
    ++m_calls_placed;
    if (m_telephone == nullptr || !m_telephone->dial(number)) {
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
    return run_command(u"SmsCommand", {{'1', uri}, {'n', number8}, {'t', text8}});
}

bool PhoneManager::open_sms_chat(WStringView number) {
    WString chat;
    if (runtime::install_dir(u"KELMA Messly", u"Messly.exe", chat))
        return execute_file(chat, WString(u"open:") + WString(number));
    set_idle();
    return send_sms(number, u"");
}

bool PhoneManager::send_mail(WStringView address) {
    set_idle();
    const std::string address8 = to_utf8(address);
    return run_command(u"MailCommand",
                       {{'1', "mailto:" + percent_encode(address8, "@+")}, {'a', address8}});
}

bool PhoneManager::open_url(WStringView address) {
    if (address.empty())
        return false;
    log_line() << u"open_url " << address << u"\n";
    return run_command(u"WebCommand", {{'1', web_address(to_utf8(address))}});
}

bool PhoneManager::execute_file(WStringView path, WStringView parameters) {
    const WString expanded = runtime::expand_path(path);
    log_line() << u"execute_file(" << expanded << u", " << parameters << u")\n";
    if (expanded.empty())
        return false;
    std::string file = runtime::native_path(expanded);
    const std::string parameters8 = to_utf8(parameters);
    std::error_code error;
    const bool has_folder = file.find('/') != std::string::npos;
    if (!has_folder && !std::filesystem::exists(file, error)) {
        // A program name, looked up in PATH.
        Argv argv{file};
        if (!parameters8.empty())
            argv.push_back(parameters8);
        return spawn_program(argv).has_value();
    }
    if (!std::filesystem::exists(file, error))
        return false;
    if (!has_folder)
        file = "./" + file; // never mistaken for a PATH name or an option
    if (std::filesystem::is_regular_file(file, error) && ::access(file.c_str(), X_OK) == 0) {
        Argv argv{file};
        if (!parameters8.empty())
            argv.push_back(parameters8);
        return spawn_program(argv).has_value();
    }
    if (file.front() == '-')
        file = "./" + file;
    return run_command(u"OpenCommand", {{'1', file}});
}

std::uint32_t PhoneManager::missed_call_count() {
    return phone::missed_call_count();
}

void PhoneManager::reset_missed_call_count() {
    phone::reset_missed_call_count();
}

} // namespace telvara::phone
