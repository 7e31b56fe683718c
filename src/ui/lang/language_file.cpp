// Decoding and parsing of key/text line files.
#include "ui/lang/language_file.h"

#include "platform/atomic_file.h"

#include <array>
#include <cerrno>

namespace telvara::ui {
namespace {

// Windows-1251 from 80 to BF; C0-FF are U+0410-U+044F in order.
constexpr std::array<char16_t, 64> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

// The blanks the platform's space test accepts.
bool is_space(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' ||
           c == 0x85 || c == 0xA0 || c == 0x1680 || c == 0x3000 || c == 0xFEFF ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F;
}

bool is_line_end(char16_t c) {
    return c == u'\r' || c == u'\n';
}

struct Utf8Scan {
    std::size_t multibyte = 0; // well-formed sequences of two to four bytes
    std::size_t invalid = 0;   // bytes that start no well-formed sequence
    std::size_t first_invalid = 0;
};

// Counts what in `s` is UTF-8 and what is not.
Utf8Scan scan_utf8(std::string_view s) {
    Utf8Scan scan;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        bool valid = true;
        if (b < 0x80)
            extra = 0;
        else if (b >= 0xC2 && b <= 0xDF)
            extra = 1;
        else if (b >= 0xE0 && b <= 0xEF)
            extra = 2;
        else if (b >= 0xF0 && b <= 0xF4)
            extra = 3;
        else
            valid = false;
        if (valid && extra > s.size() - i - 1)
            valid = false;
        for (std::size_t k = 1; valid && k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                valid = false;
        // Overlong three- and four-byte forms and surrogates are not UTF-8.
        const auto next = valid && extra > 0 ? static_cast<unsigned char>(s[i + 1]) : 0;
        if ((b == 0xE0 && next < 0xA0) || (b == 0xED && next >= 0xA0) ||
            (b == 0xF0 && next < 0x90) || (b == 0xF4 && next >= 0x90))
            valid = false;
        if (!valid) {
            if (scan.invalid++ == 0)
                scan.first_invalid = i;
            ++i;
            continue;
        }
        scan.multibyte += extra > 0 ? 1 : 0;
        i += extra + 1;
    }
    return scan;
}

// Well-formed UTF-8 with at least one multi-byte sequence: plain ASCII reads
// the same either way, and Windows-1251 text almost never forms valid UTF-8
// (a Cyrillic letter E0-FF would have to be followed by bytes 80-BF).
bool is_multibyte_utf8(std::string_view s) {
    const Utf8Scan scan = scan_utf8(s);
    return scan.invalid == 0 && scan.multibyte > 0;
}

bool has_utf16_mark(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

} // namespace

char16_t windows_1251(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return static_cast<char16_t>(0x0410 + (byte - 0xC0));
    return kCp1251High[byte - 0x80];
}

WString decode_language_bytes(std::string_view bytes) {
    WString text;
    if (has_utf16_mark(bytes) && bytes.size() % 2 == 0) {
        text.reserve(bytes.size() / 2 - 1);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        return text;
    }
    if (is_multibyte_utf8(bytes)) {
        text = from_utf8(bytes);
        if (!text.empty() && text.front() == 0xFEFF)
            text.erase(0, 1);
        return text;
    }
    text.reserve(bytes.size());
    for (char b : bytes)
        text.push_back(windows_1251(static_cast<unsigned char>(b)));
    return text;
}

LanguageTable parse_language_text(WStringView text) {
    LanguageTable table;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        while (i < n && is_space(text[i]))
            ++i;
        if (i >= n)
            break;
        const std::size_t key_begin = i;
        while (i < n && !is_space(text[i]) && text[i] != u'=')
            ++i;
        const WStringView key = text.substr(key_begin, i - key_begin);
        if (i < n && text[i] == u'=') {
            ++i;
        } else {
            // Only spaces and tabs: a key alone on its line has an empty text.
            while (i < n && (text[i] == u' ' || text[i] == u'\t'))
                ++i;
        }
        const std::size_t text_begin = i;
        while (i < n && !is_line_end(text[i]))
            ++i;
        if (!key.empty())
            table.insert_or_assign(WString(key), WString(text.substr(text_begin, i - text_begin)));
    }
    return table;
}

std::string language_bytes_damage(std::string_view bytes) {
    if (has_utf16_mark(bytes))
        return bytes.size() % 2 == 0 ? std::string()
                                     : "UTF-16 text of odd length (" +
                                           std::to_string(bytes.size()) + " bytes): cut short";
    if (bytes.find('\0') != std::string_view::npos)
        return "zero bytes in 8-bit text (UTF-16 without its mark FF FE?)";
    const bool marked = bytes.starts_with("\xEF\xBB\xBF");
    const Utf8Scan scan = scan_utf8(bytes);
    if (scan.invalid == 0)
        return {};
    // Windows-1251 text is full of bytes that start no UTF-8 sequence and
    // forms a well-formed one only by chance; UTF-8 with a few bad bytes
    // is a damaged UTF-8 file.
    if (marked || scan.multibyte > scan.invalid)
        return "not valid UTF-8 at byte " + std::to_string(scan.first_invalid) +
               (scan.first_invalid + 4 > bytes.size() ? " (cut short inside a character)" : "");
    return {};
}

std::optional<LanguageTable> read_language_file(const std::string& path, std::string* why) {
    std::optional<std::string> bytes = platform::read_whole_file(path, kMaxLanguageFileBytes, why);
    if (!bytes)
        return std::nullopt;
    if (std::string damage = language_bytes_damage(*bytes); !damage.empty()) {
        if (why != nullptr)
            *why = path + ": " + damage;
        errno = EILSEQ;
        return std::nullopt;
    }
    return parse_language_text(decode_language_bytes(*bytes));
}

} // namespace telvara::ui
