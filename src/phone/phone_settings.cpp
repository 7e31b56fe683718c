// Reading the phone layer's settings and keeping the missed-call counter.
#include "phone/phone_settings.h"

#include "runtime/registry.h"

#include <algorithm>

namespace telvara::phone {
namespace {

bool is_blank(WStringView text) {
    return std::all_of(text.begin(), text.end(),
                       [](char16_t c) { return c == u' ' || c == u'\t'; });
}

} // namespace

std::string modem_device() {
    WString value;
    if (!runtime::reg_read_string(k_telvara_key, u"Modem", value) || is_blank(value))
        return "sim";
    return to_utf8(value);
}

std::vector<WString> emergency_numbers() {
    WString value;
    std::vector<WString> numbers;
    if (runtime::reg_read_string(k_telvara_key, u"EmergencyNumbers", value)) {
        WString number;
        for (char16_t c : value + u' ') {
            if (c == u' ' || c == u',' || c == u';' || c == u'\t') {
                if (!number.empty())
                    numbers.push_back(std::move(number));
                number.clear();
            } else {
                number.push_back(c);
            }
        }
    }
    if (numbers.empty())
        numbers = {u"112", u"911"};
    return numbers;
}

std::string command_setting(WStringView name, std::string_view fallback) {
    WString value;
    if (!runtime::reg_read_string(k_telvara_key, name, value) || is_blank(value))
        return std::string(fallback);
    return to_utf8(value);
}

std::uint32_t missed_call_count() {
    std::uint32_t count = 0;
    runtime::reg_read_dword(k_phone_state_key, k_missed_call_count, count);
    return count;
}

void reset_missed_call_count() {
    runtime::reg_write_dword(k_phone_state_key, k_missed_call_count, 0);
}

std::uint32_t increment_missed_call_count() {
    const std::uint32_t count = missed_call_count() + 1;
    runtime::reg_write_dword(k_phone_state_key, k_missed_call_count, count);
    return count;
}

} // namespace telvara::phone
