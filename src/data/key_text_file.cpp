#include "data/key_text_file.h"

#include "platform/atomic_file.h"

namespace telvara::data {
namespace {

// The blanks the platform's space test accepts.
bool is_space(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' ||
           c == 0x85 || c == 0xA0 || c == 0x3000 || c == 0xFEFF || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029;
}

bool is_line_end(char16_t c) {
    return c == u'\r' || c == u'\n';
}

bool valid_utf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        if (b < 0x80)
            extra = 0;
        else if (b >= 0xC2 && b <= 0xDF)
            extra = 1;
        else if ((b & 0xF0) == 0xE0)
            extra = 2;
        else if (b >= 0xF0 && b <= 0xF4)
            extra = 3;
        else
            return false;
        if (extra > s.size() - i - 1)
            return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

WString decode_key_text_bytes(std::string_view bytes) {
    WString text;
    if (bytes.size() >= 2 && bytes.size() % 2 == 0 &&
        static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        text.reserve(bytes.size() / 2 - 1);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        return text;
    }
    if (valid_utf8(bytes)) {
        text = from_utf8(bytes);
        if (!text.empty() && text.front() == 0xFEFF)
            text.erase(0, 1);
        return text;
    }
    text.reserve(bytes.size());
    for (char b : bytes)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(b)));
    return text;
}

KeyTextTable parse_key_text(WStringView text) {
    KeyTextTable table;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        while (i < n && is_space(text[i]))
            ++i;
        if (i >= n)
            break;
        std::size_t key_begin = i;
        while (i < n && !is_space(text[i]) && text[i] != u'=')
            ++i;
        WStringView key = text.substr(key_begin, i - key_begin);
        if (i < n && text[i] == u'=') {
            ++i;
        } else {
            while (i < n && (text[i] == u' ' || text[i] == u'\t'))
                ++i;
        }
        std::size_t value_begin = i;
        while (i < n && !is_line_end(text[i]))
            ++i;
        if (!key.empty())
            table.insert_or_assign(WString(key),
                                   WString(text.substr(value_begin, i - value_begin)));
    }
    return table;
}

std::optional<KeyTextTable> read_key_text_file(const std::string& path) {
    std::optional<std::string> bytes = platform::read_whole_file(path);
    if (!bytes)
        return std::nullopt;
    return parse_key_text(decode_key_text_bytes(*bytes));
}

} // namespace telvara::data
