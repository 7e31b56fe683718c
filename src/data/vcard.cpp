// The vCard reader (unfolding, property lines, quoted-printable, charsets,
// base64, mapping onto record fields) and the vCard 3.0 writer. The writer
// uses the reader's own slot rules to decide where a number would land, and
// pins it with X-TELVARA-FIELD only when the plain TYPE would put it
// elsewhere, so that every record reads back as it was written.
#include "data/vcard.h"

#include "data/civil_date.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iconv.h>
#include <map>
#include <optional>

namespace telvara::data {

namespace {

constexpr int kTypeCount = 34;
using Slots = std::bitset<kTypeCount>;
constexpr std::string_view kPinParam = "X-TELVARA-FIELD";

// --- small text helpers -----------------------------------------------------

char ascii_upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = ascii_upper(c);
    return out;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_upper(a[i]) != ascii_upper(b[i]))
            return false;
    return true;
}

bool istarts_with(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && iequals(text.substr(0, prefix.size()), prefix);
}

bool istarts_with(WStringView text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char16_t c = text[i];
        if (c > 0x7F || ascii_upper(static_cast<char>(c)) != ascii_upper(prefix[i]))
            return false;
    }
    return true;
}

// --- charsets ---------------------------------------------------------------

bool valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        std::uint32_t min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        std::uint32_t code = c & (0x3F >> extra);
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (d & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

bool is_ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool names_utf8(std::string_view name) {
    return iequals(name, "UTF-8") || iequals(name, "UTF8");
}

// Charsets whose ASCII text is not plain ASCII bytes.
bool wide_charset(std::string_view name) {
    return istarts_with(name, "UTF-16") || istarts_with(name, "UTF16") ||
           istarts_with(name, "UTF-32") || istarts_with(name, "UTF32") ||
           istarts_with(name, "UCS-") || istarts_with(name, "UCS2") || istarts_with(name, "UCS4");
}

// Each byte as the character of that number: nothing is lost, so the text can
// be turned back into its bytes and decoded once its charset is known.
WString bytes_as_latin1(std::string_view bytes) {
    WString out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.push_back(static_cast<unsigned char>(c));
    return out;
}

// glibc's iconv, one converter per charset name for the whole file.
class Decoder {
  public:
    Decoder() = default;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    ~Decoder() {
        for (auto& [name, cd] : m_open)
            if (cd != kNone)
                ::iconv_close(cd);
    }

    bool known(std::string_view name) { return names_utf8(name) || converter(name) != kNone; }

    // The text in UTF-8, or nothing when the charset is unknown or the bytes
    // are not text in it.
    std::optional<std::string> to_utf8(std::string_view bytes, std::string_view charset) {
        if (names_utf8(charset) || (is_ascii(bytes) && !wide_charset(charset))) {
            if (!valid_utf8(bytes))
                return std::nullopt;
            return std::string(bytes);
        }
        iconv_t cd = converter(charset);
        if (cd == kNone)
            return std::nullopt;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        std::string out(bytes.size() * 4 + 16, '\0');
        char* in = const_cast<char*>(bytes.data());
        std::size_t in_left = bytes.size();
        char* to = out.data();
        std::size_t to_left = out.size();
        while (in_left > 0) {
            if (::iconv(cd, &in, &in_left, &to, &to_left) == static_cast<std::size_t>(-1)) {
                if (errno != E2BIG)
                    return std::nullopt;
                const std::size_t done = out.size() - to_left;
                out.resize(out.size() * 2);
                to = out.data() + done;
                to_left = out.size() - done;
            }
        }
        if (::iconv(cd, nullptr, nullptr, &to, &to_left) == static_cast<std::size_t>(-1))
            return std::nullopt;
        out.resize(out.size() - to_left);
        return out;
    }

  private:
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

    iconv_t converter(std::string_view name) {
        const std::string key = upper(name);
        auto it = m_open.find(key);
        if (it == m_open.end())
            it = m_open.emplace(key, ::iconv_open("UTF-8", key.c_str())).first;
        return it->second;
    }

    std::map<std::string, iconv_t> m_open;
};

// --- encodings --------------------------------------------------------------

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = ascii_upper(c);
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool decode_quoted_printable(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '=') {
            out.push_back(in[i]);
            continue;
        }
        if (i + 1 == in.size())
            break; // a soft break left at the very end
        if (i + 2 >= in.size())
            return false;
        const int hi = hex_value(in[i + 1]), lo = hex_value(in[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return true;
}

int base64_value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+' || c == '-')
        return 62;
    if (c == '/' || c == '_')
        return 63;
    return -1;
}

bool decode_base64(std::string_view in, std::vector<std::byte>& out) {
    out.clear();
    out.reserve(in.size() / 4 * 3);
    std::uint32_t bits = 0;
    int count = 0;
    bool padding = false;
    for (char c : in) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        if (c == '=') {
            padding = true;
            continue;
        }
        const int v = base64_value(c);
        if (v < 0 || padding)
            return false;
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        if (++count == 4) {
            out.push_back(static_cast<std::byte>(bits >> 16));
            out.push_back(static_cast<std::byte>(bits >> 8));
            out.push_back(static_cast<std::byte>(bits));
            bits = 0, count = 0;
        }
    }
    if (count == 1)
        return false;
    if (count == 2)
        out.push_back(static_cast<std::byte>(bits >> 4));
    if (count == 3) {
        out.push_back(static_cast<std::byte>(bits >> 10));
        out.push_back(static_cast<std::byte>(bits >> 2));
    }
    return true;
}

std::string encode_base64(std::span<const std::byte> in) {
    static constexpr char table[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= in.size(); i += 3) {
        const auto v =
            std::uint32_t(in[i]) << 16 | std::uint32_t(in[i + 1]) << 8 | std::uint32_t(in[i + 2]);
        out += {table[v >> 18], table[(v >> 12) & 63], table[(v >> 6) & 63], table[v & 63]};
    }
    if (in.size() - i == 1) {
        const auto v = std::uint32_t(in[i]) << 16;
        out += {table[v >> 18], table[(v >> 12) & 63], '=', '='};
    } else if (in.size() - i == 2) {
        const auto v = std::uint32_t(in[i]) << 16 | std::uint32_t(in[i + 1]) << 8;
        out += {table[v >> 18], table[(v >> 12) & 63], table[(v >> 6) & 63], '='};
    }
    return out;
}

// The vCard TYPE of a photo by its signature: "PNG", "JPEG", or null for
// anything the program cannot show.
const char* photo_type(std::span<const std::byte> b) {
    static constexpr std::uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (b.size() >= 8 && std::equal(png, png + 8, b.begin(),
                                    [](std::uint8_t x, std::byte y) { return std::byte{x} == y; }))
        return "PNG";
    if (b.size() >= 3 && b[0] == std::byte{0xFF} && b[1] == std::byte{0xD8} &&
        b[2] == std::byte{0xFF})
        return "JPEG";
    return nullptr;
}

// Category names of a text split at "," and ";", trimmed, empty ones dropped
// (the store splits at both as well).
std::vector<WString> category_names(WStringView text);

// --- lines and properties ---------------------------------------------------

struct Line {
    std::size_t number = 0;
    std::string text;
};

bool header_says_quoted_printable(std::string_view line) {
    const auto colon = line.find(':');
    const std::string header = upper(line.substr(0, colon));
    return header.find("QUOTED-PRINTABLE") != std::string::npos;
}

// The end of the physical line that starts at `at`, and where the next one
// starts. A line ends at LF, CR LF, a lone CR, or CR CR LF (as one phone
// maker writes them): each is one line end, so line numbers count lines.
std::size_t line_end(std::string_view text, std::size_t at, std::size_t& next) {
    std::size_t end = at;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n')
        ++end;
    next = end + 1;
    if (end < text.size() && text[end] == '\r') {
        if (end + 1 < text.size() && text[end + 1] == '\n')
            next = end + 2;
        else if (end + 2 < text.size() && text[end + 1] == '\r' && text[end + 2] == '\n')
            next = end + 3;
    }
    return end;
}

// Physical lines joined into logical ones: a line starting with a space or a
// tab continues the previous one (that one character removed), and a
// quoted-printable value ending in "=" continues on the next line.
std::vector<Line> logical_lines(std::string_view text) {
    std::vector<Line> out;
    Line current;
    bool open = false;
    std::size_t number = 0;
    std::size_t at = 0;
    if (text.starts_with("\xEF\xBB\xBF"))
        at = 3;
    while (at < text.size()) {
        std::size_t next = 0;
        const std::size_t end = line_end(text, at, next);
        const std::string_view physical = text.substr(at, end - at);
        ++number;
        at = next;

        if (open && !current.text.empty() && current.text.back() == '=' &&
            header_says_quoted_printable(current.text)) {
            current.text.pop_back();
            current.text.append(physical);
            continue;
        }
        if (open && !physical.empty() && (physical[0] == ' ' || physical[0] == '\t')) {
            current.text.append(physical.substr(1));
            continue;
        }
        if (open)
            out.push_back(std::move(current));
        open = !physical.empty();
        current = Line{number, std::string(physical)};
    }
    if (open)
        out.push_back(std::move(current));
    return out;
}

// A file written in UTF-16 (with its byte order mark, or recognisable by
// the zero bytes of "BEGIN") as UTF-8; other text as it is.
std::string utf8_file_text(std::string_view text, Decoder& decoder) {
    const char* charset = nullptr;
    if (text.starts_with("\xFF\xFE") || (text.size() >= 4 && text[0] == 'B' && text[1] == 0))
        charset = "UTF-16LE";
    else if (text.starts_with("\xFE\xFF") || (text.size() >= 4 && text[0] == 0 && text[1] == 'B'))
        charset = "UTF-16BE";
    if (charset == nullptr)
        return std::string(text);
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
        text.remove_prefix(2);
    if (text.size() % 2 != 0)
        text.remove_suffix(1);
    auto converted = decoder.to_utf8(text, charset);
    return converted ? std::move(*converted) : std::string(text);
}

struct Property {
    std::size_t line = 0;
    std::string name;               // upper case, group removed
    std::vector<std::string> types; // upper case, every TYPE value and bare 2.1 parameter
    std::string encoding;           // upper case
    std::string charset;
    std::string value_kind; // VALUE=, upper case
    std::string pin;        // X-TELVARA-FIELD
    std::string value;      // raw
};

bool name_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

// "group.NAME;param=a,"b";BARE:value". False with the reason for a line that
// is not a property.
bool parse_property(const Line& line, Property& out, std::string& error) {
    const std::string_view text = line.text;
    out = Property{};
    out.line = line.number;
    if (text.find(':') == std::string_view::npos) {
        error = "no ':' in the line";
        return false;
    }
    std::size_t i = 0;
    while (i < text.size() && name_char(text[i]))
        ++i;
    if (i == text.size()) {
        error = "no ':' in the line";
        return false;
    }
    if (text[i] != ':' && text[i] != ';') {
        error = "bad character in the property name";
        return false;
    }
    std::string_view name = text.substr(0, i);
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos)
        name.remove_prefix(dot + 1);
    if (name.empty()) {
        error = "empty property name";
        return false;
    }
    out.name = upper(name);
    while (i < text.size() && text[i] == ';') {
        ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != '=' && text[i] != ';' && text[i] != ':')
            ++i;
        const std::string param = upper(text.substr(start, i - start));
        std::vector<std::string> values;
        if (i < text.size() && text[i] == '=') {
            ++i;
            std::string value;
            while (i < text.size() && text[i] != ';' && text[i] != ':') {
                if (text[i] == '"') {
                    const auto close = text.find('"', i + 1);
                    if (close == std::string_view::npos) {
                        error = "unclosed '\"' in a parameter";
                        return false;
                    }
                    value.append(text.substr(i + 1, close - i - 1));
                    i = close + 1;
                } else if (text[i] == ',') {
                    values.push_back(std::move(value));
                    value.clear();
                    ++i;
                } else {
                    value.push_back(text[i++]);
                }
            }
            values.push_back(std::move(value));
        } else if (!param.empty()) {
            // vCard 2.1: a bare value names its parameter by itself.
            if (param == "QUOTED-PRINTABLE" || param == "BASE64" || param == "8BIT" ||
                param == "7BIT" || param == "B")
                out.encoding = param;
            else
                out.types.push_back(param);
            continue;
        }
        if (param == "TYPE") {
            // 3.0 also writes "cell,voice" inside one quoted value.
            for (const auto& v : values) {
                std::string_view rest = v;
                while (!rest.empty()) {
                    const auto comma = rest.find(',');
                    out.types.push_back(upper(rest.substr(0, comma)));
                    rest = comma == std::string_view::npos ? std::string_view{}
                                                           : rest.substr(comma + 1);
                }
            }
        } else if (param == "ENCODING" && !values.empty()) {
            out.encoding = upper(values.front());
        } else if (param == "CHARSET" && !values.empty()) {
            out.charset = values.front();
        } else if (param == "VALUE" && !values.empty()) {
            out.value_kind = upper(values.front());
        } else if (param == kPinParam && !values.empty()) {
            out.pin = values.front();
        }
    }
    if (i >= text.size() || text[i] != ':') {
        error = "no ':' in the line";
        return false;
    }
    out.value = std::string(text.substr(i + 1));
    return true;
}

// "VCARD" after BEGIN: or END:, blanks around it allowed.
bool names_vcard(std::string_view value) {
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    return iequals(value, "VCARD");
}

bool has_type(const Property& p, std::string_view type) {
    return std::find(p.types.begin(), p.types.end(), type) != p.types.end();
}

// --- values -----------------------------------------------------------------

WString trim(WStringView text) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; };
    std::size_t first = 0, last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return WString(text.substr(first, last - first));
}

// Unescapes, turns CR LF and lone CR into LF, drops other control
// characters, trims blanks and line ends at both ends.
WString clean(WStringView raw) {
    WString out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char16_t c = raw[i];
        if (c == u'\\' && i + 1 < raw.size()) {
            const char16_t next = raw[i + 1];
            if (next == u'n' || next == u'N') {
                out.push_back(u'\n');
                ++i;
                continue;
            }
            if (next == u'\\' || next == u';' || next == u',' || next == u':') {
                out.push_back(next);
                ++i;
                continue;
            }
        }
        if (c == u'\r') {
            if (i + 1 < raw.size() && raw[i + 1] == u'\n')
                continue;
            c = u'\n';
        }
        if ((c < 0x20 && c != u'\t' && c != u'\n') || c == 0x7F)
            continue;
        out.push_back(c);
    }
    return trim(out);
}

// Splits at every ';' that is not escaped; the pieces are still escaped.
std::vector<WStringView> split_components(WStringView text) {
    std::vector<WStringView> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\') {
            ++i;
            continue;
        }
        if (text[i] == u';') {
            out.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(text.substr(start));
    return out;
}

// --- phones and e-mail slots ------------------------------------------------

enum PhoneClass : unsigned {
    cell = 1,
    work = 2,
    home = 4,
    car = 8,
    pager = 16,
    fax = 32,
    company_main = 64,
    assistant = 128,
    radio = 256,
};

unsigned phone_classes(const std::vector<std::string>& types) {
    unsigned classes = 0;
    for (const auto& t : types) {
        if (t == "CELL" || t == "MOBILE" || t == "IPHONE" || t == "PCS")
            classes |= cell;
        else if (t == "WORK")
            classes |= work;
        else if (t == "HOME")
            classes |= home;
        else if (t == "CAR")
            classes |= car;
        else if (t == "PAGER")
            classes |= pager;
        else if (t == "FAX")
            classes |= fax;
        else if (t == "MAIN" || t == "COMPANY" || t == "X-COMPANY" || t == "X-MAIN")
            classes |= company_main;
        else if (t == "X-ASSISTANT" || t == "ASSISTANT" || t == "X-EVOLUTION-ASSISTANT")
            classes |= assistant;
        else if (t == "X-RADIO" || t == "RADIO" || t == "X-EVOLUTION-RADIO")
            classes |= radio;
    }
    return classes;
}

using FT = FieldType;

// Where a number goes when the slots of its own kind are taken, or when it
// names no kind (untyped, VOICE, OTHER): the voice slots first, then every
// other phone slot, so that a number is only left out when the contact has
// no phone slot free at all.
constexpr std::array<FT, 12> kAnyPhone = {FT::Mobile,      FT::HomeTel,        FT::BusinessTel,
                                          FT::Home2Tel,    FT::Business2Tel,   FT::RadioTel,
                                          FT::CarTel,      FT::CompanyMainTel, FT::AssistantTel,
                                          FT::PagerNumber, FT::BusinessFax,    FT::HomeFax};

bool is_phone_slot(FT type) {
    return is_number_field(type);
}

bool is_email_slot(FT type) {
    return kind_of(type) == FieldKind::Email;
}

std::optional<FT> pinned_slot(std::string_view pin, bool (*allowed)(FT)) {
    if (pin.empty())
        return std::nullopt;
    const WString name = from_utf8(pin);
    for (int t = 0; t < kTypeCount; ++t) {
        const auto type = static_cast<FT>(t);
        if (allowed(type) && name == field_type_name(type))
            return type;
    }
    return std::nullopt;
}

// The slots meant for a number of these TYPE classes, best first; none for
// a number that names no kind.
std::vector<FT> own_slots(unsigned classes) {
    if (classes & fax) {
        if ((classes & home) && !(classes & work))
            return {FT::HomeFax, FT::BusinessFax};
        return {FT::BusinessFax, FT::HomeFax};
    }
    if (classes & pager)
        return {FT::PagerNumber};
    if (classes & car)
        return {FT::CarTel};
    if (classes & assistant)
        return {FT::AssistantTel};
    if (classes & company_main)
        return {FT::CompanyMainTel};
    if (classes & radio)
        return {FT::RadioTel};
    if (classes & cell)
        return {FT::Mobile, FT::RadioTel};
    if (classes & work)
        return {FT::BusinessTel, FT::Business2Tel};
    if (classes & home)
        return {FT::HomeTel, FT::Home2Tel};
    return {};
}

// One TEL line as the slot assignment sees it.
struct PhoneWish {
    unsigned classes = 0;
    std::optional<FT> pin;
};

// The slot of every number of a card, none where every phone slot is taken.
// Pinned numbers take their slot first, then typed numbers their own kind
// of slot, each in card order; what is left takes the first free slot of
// any kind. So an untyped number never takes Mobile from a later CELL one.
std::vector<std::optional<FT>> assign_phones(const std::vector<PhoneWish>& wishes) {
    std::vector<std::optional<FT>> slots(wishes.size());
    Slots used;
    auto take = [&](std::size_t i, FT type) {
        if (slots[i] || used[static_cast<int>(type)])
            return false;
        slots[i] = type;
        used.set(static_cast<int>(type));
        return true;
    };
    for (std::size_t i = 0; i < wishes.size(); ++i)
        if (wishes[i].pin)
            take(i, *wishes[i].pin);
    for (std::size_t i = 0; i < wishes.size(); ++i)
        for (FT type : own_slots(wishes[i].classes))
            if (take(i, type))
                break;
    for (std::size_t i = 0; i < wishes.size(); ++i)
        for (FT type : kAnyPhone)
            if (take(i, type))
                break;
    return slots;
}

// --- birthdays --------------------------------------------------------------

// The store keeps birthdays as FILETIME: nothing before 1601.
constexpr std::int64_t kEarliestMs = -11'644'473'600'000LL;

unsigned days_in_month(std::int64_t year, unsigned month) {
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Reads `count` digits at `at`; false when they are not there.
bool digits(std::string_view s, std::size_t& at, std::size_t count, int& out) {
    if (at + count > s.size())
        return false;
    out = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = s[at + i];
        if (c < '0' || c > '9')
            return false;
        out = out * 10 + (c - '0');
    }
    at += count;
    return true;
}

bool skip(std::string_view s, std::size_t& at, char c) {
    if (at < s.size() && s[at] == c) {
        ++at;
        return true;
    }
    return false;
}

// "19800521", "1980-05-21", "--0521", "--05-21", each optionally followed by
// "T" and a time "103000", "10:30:00", "1030", "10" with a fraction and "Z"
// or an offset (the offset is left out). Milliseconds since 1970.
std::optional<std::int64_t> parse_birthday(WStringView value) {
    std::string s;
    for (char16_t c : value) {
        if (c > 0x7F)
            return std::nullopt;
        s.push_back(static_cast<char>(c));
    }
    std::size_t at = 0;
    int year = 0, month = 0, day = 0;
    if (s.starts_with("--")) {
        at = 2;
        year = kBirthdayNoYear;
        if (!digits(s, at, 2, month))
            return std::nullopt;
        skip(s, at, '-');
        if (!digits(s, at, 2, day))
            return std::nullopt;
    } else {
        if (!digits(s, at, 4, year))
            return std::nullopt;
        const bool dashed = skip(s, at, '-');
        if (!digits(s, at, 2, month) || (dashed && !skip(s, at, '-')) || !digits(s, at, 2, day))
            return std::nullopt;
    }
    if (year < 1601 || month < 1 || month > 12 || day < 1 ||
        static_cast<unsigned>(day) > days_in_month(year, static_cast<unsigned>(month)))
        return std::nullopt;
    std::int64_t ms =
        days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * kDayMs;
    if (skip(s, at, 'T') || skip(s, at, 't')) {
        int hour = 0, minute = 0, second = 0;
        if (!digits(s, at, 2, hour))
            return std::nullopt;
        const bool colon = skip(s, at, ':');
        if (digits(s, at, 2, minute)) {
            if (colon)
                skip(s, at, ':');
            digits(s, at, 2, second);
        } else if (colon) {
            return std::nullopt;
        }
        if (hour > 23 || minute > 59 || second > 60)
            return std::nullopt;
        int fraction = 0;
        if (skip(s, at, '.') || skip(s, at, ',')) {
            int scale = 100;
            bool any = false;
            while (at < s.size() && s[at] >= '0' && s[at] <= '9') {
                fraction += (s[at] - '0') * scale;
                scale /= 10;
                ++at;
                any = true;
            }
            if (!any)
                return std::nullopt;
        }
        ms += ((hour * 60LL + minute) * 60 + second) * 1000 + fraction;
        if (at < s.size() && (s[at] == '+' || s[at] == '-')) {
            ++at;
            int oh = 0, om = 0;
            if (!digits(s, at, 2, oh))
                return std::nullopt;
            skip(s, at, ':');
            digits(s, at, 2, om);
            if (oh > 14 || om > 59)
                return std::nullopt;
            // The time stays as written: moving it to UTC could move the
            // birthday to another calendar day.
        } else {
            if (!skip(s, at, 'Z'))
                skip(s, at, 'z');
        }
    }
    if (at != s.size() || ms < kEarliestMs)
        return std::nullopt;
    return ms;
}

std::string format_birthday(std::int64_t ms) {
    const std::int64_t days = day_of_millis(ms);
    const std::int64_t in_day = ms - days * kDayMs;
    const CivilDate c = civil_from_days(days);
    char text[48];
    if (in_day == 0 && c.year == kBirthdayNoYear) {
        std::snprintf(text, sizeof text, "--%02u%02u", c.month, c.day);
    } else if (in_day == 0) {
        std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(c.year),
                      c.month, c.day);
    } else {
        const auto seconds = in_day / 1000;
        std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d",
                      static_cast<long long>(c.year), c.month, c.day,
                      static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                      static_cast<int>(seconds % 60));
        std::string out = text;
        if (in_day % 1000 != 0) {
            std::snprintf(text, sizeof text, ".%03d", static_cast<int>(in_day % 1000));
            out += text;
        }
        return out + "Z";
    }
    return text;
}

std::vector<WString> category_names(WStringView text) {
    std::vector<WString> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u',' && text[i] != u';')
            continue;
        WString name = trim(text.substr(start, i - start));
        start = i + 1;
        if (!name.empty())
            out.push_back(std::move(name));
    }
    return out;
}

// --- one card ---------------------------------------------------------------

// A number of the card, placed when the whole card is read.
struct PhoneLine {
    WString number;
    PhoneWish wish;
    std::size_t line = 0;
};

// "tel:+1-555-0100;ext=102;phone-context=x" as a number to dial: the
// extension after a pause (","), other parameters left out, %-escapes
// decoded.
WString number_of_tel_uri(WStringView uri) {
    uri.remove_prefix(4);
    const std::size_t semicolon = uri.find(u';');
    WString number;
    const WStringView digits = uri.substr(0, semicolon);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (digits[i] == u'%' && i + 2 < digits.size()) {
            const int hi = hex_value(static_cast<char>(digits[i + 1]));
            const int lo = hex_value(static_cast<char>(digits[i + 2]));
            if (hi >= 0 && lo >= 0 && digits[i + 1] < 0x80 && digits[i + 2] < 0x80) {
                number.push_back(static_cast<char16_t>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        number.push_back(digits[i]);
    }
    WStringView params = semicolon == WStringView::npos ? WStringView() : uri.substr(semicolon + 1);
    while (!params.empty()) {
        const std::size_t end = params.find(u';');
        const WStringView param = params.substr(0, end);
        if (istarts_with(param, "ext=") && param.size() > 4)
            number += u"," + WString(param.substr(4));
        params = end == WStringView::npos ? WStringView() : params.substr(end + 1);
    }
    return trim(number);
}

// A URI scheme at the start ("sip:", "xmpp:"), which a phone number never has.
bool has_uri_scheme(WStringView value) {
    std::size_t i = 0;
    while (i < value.size() &&
           ((value[i] >= u'a' && value[i] <= u'z') || (value[i] >= u'A' && value[i] <= u'Z') ||
            (i > 0 && (value[i] == u'+' || value[i] == u'-' || value[i] == u'.' ||
                       (value[i] >= u'0' && value[i] <= u'9')))))
        ++i;
    return i >= 2 && i < value.size() && value[i] == u':';
}

// A number as a TEL value that reads back as the same number. One that the
// reader would take for a URI ("tel:1", "sip:x", "AB:") goes out as a tel:
// URI itself, with "%" and ";" escaped so they are not read as escapes or
// parameters.
WString number_as_written(WStringView number) {
    if (!istarts_with(number, "tel:") && !has_uri_scheme(number))
        return WString(number);
    WString uri = u"tel:";
    for (char16_t c : number) {
        if (c == u'%')
            uri += u"%25";
        else if (c == u';')
            uri += u"%3B";
        else
            uri.push_back(c);
    }
    return uri;
}

// The text in UTF-8 with control characters written as \xNN, for a message
// that goes to a terminal.
std::string printable(WStringView text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[(c >> 4) & 15];
            out += hex[c & 15];
        } else {
            out += to_utf8(WStringView(&c, 1));
        }
    }
    return out;
}

struct CardReader {
    CardReader(const VCardOptions& o, Decoder& d, std::size_t line, std::vector<VCardProblem>& p)
        : options(o), decoder(d), begin_line(line), problems(p) {}

    const VCardOptions& options;
    Decoder& decoder;
    std::size_t begin_line;
    std::vector<VCardProblem>& problems;
    std::vector<PhoneLine> phones;
    std::size_t numbers_left_out = 0;

    std::array<std::optional<WString>, kTypeCount> slots{};
    Slots used;
    ContactWithPhoto result;
    bool has_n = false;
    WString full_name;
    WString org;
    bool org_card = false;
    std::vector<WString> categories;
    bool photo_done = false;
    // A vCard 4.0 is UTF-8 whatever it says.
    bool utf8_card = false;

    void note(std::size_t line, std::string message) {
        problems.push_back({VCardProblem::Severity::note, line, begin_line, std::move(message)});
    }

    void put(FT type, WString value) {
        if (value.empty())
            return;
        slots[static_cast<int>(type)] = std::move(value);
        used.set(static_cast<int>(type));
    }
    void put_once(FT type, WString value) {
        if (!used[static_cast<int>(type)])
            put(type, std::move(value));
    }

    // The property's text: quoted-printable decoded, in its charset. Bytes
    // that are not text in any charset the card or the options name are
    // kept one character per byte (never as U+FFFD), with a note. False for
    // text that cannot be read at all.
    bool text_of(const Property& p, WString& out) {
        std::string bytes;
        std::string_view raw = p.value;
        if (p.encoding == "QUOTED-PRINTABLE") {
            if (!decode_quoted_printable(raw, bytes)) {
                note(p.line, "bad quoted-printable text: " + p.name + " left out");
                return false;
            }
            raw = bytes;
        }
        std::optional<std::string> text;
        if (!p.charset.empty()) {
            if (!decoder.known(p.charset)) {
                text =
                    valid_utf8(raw) ? std::optional<std::string>(std::string(raw)) : std::nullopt;
                note(p.line, "unknown charset \"" + p.charset + "\": " + p.name +
                                 (text ? " read as UTF-8" : " kept byte for byte"));
            } else if (!(text = decoder.to_utf8(raw, p.charset))) {
                note(p.line, p.name + " is not " + p.charset + " text: kept byte for byte");
            }
        } else if (valid_utf8(raw)) {
            text = std::string(raw);
        } else if (!(text = decoder.to_utf8(raw, options.fallback))) {
            note(p.line, p.name + " is not " + options.fallback + " text: kept byte for byte");
        } else if (utf8_card) {
            note(p.line, p.name + " is not UTF-8 text, as a vCard 4.0 must be: read as " +
                             options.fallback);
        }
        out = text ? from_utf8(*text) : bytes_as_latin1(raw);
        return true;
    }

    void photo(const Property& p) {
        if (photo_done)
            return;
        std::vector<std::byte> bytes;
        const std::string_view value = p.value;
        if (istarts_with(value, "data:")) {
            const auto comma = value.find(',');
            const std::string head = upper(value.substr(0, comma));
            if (comma == std::string_view::npos || head.find(";BASE64") == std::string::npos) {
                note(p.line, "photo data URI without base64 ignored");
                return;
            }
            if (!decode_base64(value.substr(comma + 1), bytes)) {
                note(p.line, "photo is not valid base64: left out");
                return;
            }
        } else if (p.encoding == "B" || p.encoding == "BASE64") {
            if (!decode_base64(value, bytes)) {
                note(p.line, "photo is not valid base64: left out");
                return;
            }
        } else if (!value.empty()) {
            std::string shown(value.substr(0, 80));
            note(p.line, "photo at \"" + shown + "\" not fetched");
            return;
        } else {
            return;
        }
        if (bytes.empty())
            return;
        if (photo_type(bytes) == nullptr) {
            note(p.line, "photo is neither JPEG nor PNG: left out");
            return;
        }
        if (bytes.size() > kMaxPictureBytes) {
            note(p.line, "photo larger than 8 MB: left out");
            return;
        }
        result.photo = std::move(bytes);
        photo_done = true;
    }

    void take(const Property& p) {
        const std::string& n = p.name;
        if (n == "VERSION")
            utf8_card = p.value.starts_with("4.");
        if (n == "BEGIN" || n == "END" || n == "VERSION")
            return;
        if (n == "PHOTO") {
            photo(p);
            return;
        }
        static constexpr std::array<std::string_view, 13> known = {
            "N",   "FN",  "ORG",  "TITLE", "NICKNAME",    "TEL",       "EMAIL",
            "URL", "ADR", "BDAY", "KIND",  "X-ASSISTANT", "CATEGORIES"};
        const bool wanted = std::find(known.begin(), known.end(), n) != known.end() ||
                            n == "X-EVOLUTION-ASSISTANT" || n == "X-CATEGORIES";
        if (!wanted)
            return;
        WString text;
        if (!text_of(p, text))
            return;
        if (n == "N") {
            const auto parts = split_components(text);
            auto part = [&](std::size_t i) {
                return i < parts.size() ? clean(parts[i]) : WString();
            };
            WString last = part(0), first = part(1), middle = part(2), suffix = part(4);
            if (has_n || (last.empty() && first.empty() && middle.empty() && suffix.empty()))
                return;
            has_n = true;
            result.record.last_name = std::move(last);
            result.record.first_name = std::move(first);
            put(FT::MiddleName, std::move(middle));
            put(FT::Suffix, std::move(suffix));
        } else if (n == "FN") {
            if (full_name.empty())
                full_name = clean(text);
        } else if (n == "ORG") {
            const auto parts = split_components(text);
            if (!org.empty() || used[static_cast<int>(FT::Department)])
                return;
            org = clean(parts[0]);
            // Units below the department stay with it, in their order.
            WString units;
            for (std::size_t i = 1; i < parts.size(); ++i) {
                WString unit = clean(parts[i]);
                if (unit.empty())
                    continue;
                if (!units.empty())
                    units += u", ";
                units += unit;
            }
            put(FT::Department, std::move(units));
        } else if (n == "KIND") {
            org_card = iequals(to_utf8(clean(text)), "org");
        } else if (n == "TITLE") {
            put_once(FT::JobTitle, clean(text));
        } else if (n == "NICKNAME") {
            put_once(FT::NickName, clean(text));
        } else if (n == "X-ASSISTANT" || n == "X-EVOLUTION-ASSISTANT") {
            put_once(FT::AssistantName, clean(text));
        } else if (n == "URL") {
            put_once(FT::WebPage, clean(text));
        } else if (n == "TEL") {
            // Control characters have no place in a number (and would reach
            // the terminal and the modem): the number is not taken. Looked
            // for before clean(), which drops them from other text, and
            // again in what a tel: URI's escapes decode to.
            auto has_control = [](WStringView t) {
                return std::any_of(t.begin(), t.end(),
                                   [](char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); });
            };
            auto refuse = [&] {
                note(p.line, "\"" + printable(trim(text)) +
                                 "\" has control characters: not taken as a number");
            };
            if (has_control(text))
                return refuse();
            WString number = clean(text);
            if (istarts_with(number, "tel:")) {
                number = number_of_tel_uri(number);
                if (has_control(number))
                    return refuse();
            } else if (has_uri_scheme(number)) {
                note(p.line, "\"" + to_utf8(number) + "\" is not a phone number: left out");
                return;
            }
            if (number.empty())
                return;
            phones.push_back({std::move(number),
                              {phone_classes(p.types), pinned_slot(p.pin, is_phone_slot)},
                              p.line});
        } else if (n == "EMAIL") {
            WString address = clean(text);
            if (address.empty())
                return;
            int slot = -1;
            if (auto pin = pinned_slot(p.pin, is_email_slot); pin && !used[static_cast<int>(*pin)])
                slot = static_cast<int>(*pin);
            for (FT t : {FT::Email1, FT::Email2, FT::Email3})
                if (slot < 0 && !used[static_cast<int>(t)])
                    slot = static_cast<int>(t);
            if (slot < 0)
                note(p.line, "more than three e-mail addresses: " + to_utf8(address) + " left out");
            else
                put(static_cast<FT>(slot), std::move(address));
        } else if (n == "ADR") {
            const auto parts = split_components(text);
            auto part = [&](std::size_t i) {
                return i < parts.size() ? clean(parts[i]) : WString();
            };
            WString street;
            for (std::size_t i : {0, 1, 2}) {
                WString piece = part(i);
                if (piece.empty())
                    continue;
                if (!street.empty())
                    street += u", ";
                street += piece;
            }
            std::array<WString, 5> address = {street, part(3), part(4), part(5), part(6)};
            if (std::all_of(address.begin(), address.end(), [](auto& a) { return a.empty(); }))
                return;
            const bool work = has_type(p, "WORK") && !has_type(p, "HOME");
            std::array<FT, 2> order = {work ? FT::WorkAddress1 : FT::HomeAddress1,
                                       work ? FT::HomeAddress1 : FT::WorkAddress1};
            for (FT base : order) {
                const int b = static_cast<int>(base);
                bool taken = false;
                for (int k = 0; k < 5; ++k)
                    taken = taken || used[b + k];
                if (taken)
                    continue;
                for (int k = 0; k < 5; ++k) {
                    put(static_cast<FT>(b + k), std::move(address[k]));
                    used.set(b + k); // an empty part still belongs to this address
                }
                return;
            }
            note(p.line, "a third address left out");
        } else if (n == "BDAY") {
            if (used[static_cast<int>(FT::Birthday)])
                return;
            const WString value = clean(text);
            if (value.empty())
                return;
            if (auto ms = parse_birthday(value))
                put(FT::Birthday, to_wstring(*ms));
            else
                note(p.line, "birthday \"" + to_utf8(value) + "\" not understood: left out");
        } else if (n == "CATEGORIES" || n == "X-CATEGORIES") {
            // Repeated names stay: the card's list is taken as it is, up to
            // the bound (every category becomes a menu entry).
            std::size_t dropped = 0;
            for (auto& name : category_names(clean(text))) {
                if (categories.size() < kMaxCardCategories)
                    categories.push_back(std::move(name));
                else
                    ++dropped;
            }
            if (dropped > 0)
                note(p.line, "more than " + std::to_string(kMaxCardCategories) +
                                 " categories: " + std::to_string(dropped) + " left out");
        }
    }

    // False when the card holds nothing worth a contact.
    bool finish() {
        auto& r = result.record;
        std::vector<PhoneWish> wishes;
        for (const PhoneLine& phone : phones)
            wishes.push_back(phone.wish);
        const auto phone_slots = assign_phones(wishes);
        for (std::size_t i = 0; i < phones.size(); ++i) {
            if (phone_slots[i]) {
                put(*phone_slots[i], std::move(phones[i].number));
            } else {
                ++numbers_left_out;
                note(phones[i].line,
                     "no free phone field for " + to_utf8(phones[i].number) + ": left out");
            }
        }
        if (!has_n && !full_name.empty() && full_name != org) {
            if (org_card && org.empty())
                org = full_name;
            else
                r.first_name = full_name;
        }
        r.company = org;
        if (!categories.empty()) {
            WString text;
            for (const auto& c : categories) {
                if (!text.empty())
                    text += u", ";
                text += c;
            }
            put(FT::Categories, std::move(text));
        }
        for (int t = 0; t < kTypeCount; ++t)
            if (slots[t] && !slots[t]->empty())
                r.fields.emplace_back(static_cast<FT>(t), std::move(*slots[t]));
        return !r.first_name.empty() || !r.last_name.empty() || !r.company.empty() ||
               !r.fields.empty() || !result.photo.empty();
    }
};

// --- writing ----------------------------------------------------------------

// Appends the line folded at 75 octets, never inside a UTF-8 sequence.
void put_line(std::string& out, std::string_view line) {
    constexpr std::size_t limit = 75;
    bool first = true;
    while (!line.empty()) {
        std::size_t take = first ? limit : limit - 1;
        if (take >= line.size()) {
            take = line.size();
        } else {
            while (take > 1 && (static_cast<unsigned char>(line[take]) & 0xC0) == 0x80)
                --take;
        }
        if (!first)
            out += ' ';
        out.append(line.substr(0, take));
        out += "\r\n";
        line.remove_prefix(take);
        first = false;
    }
}

// Text value escaping; control characters other than tab are dropped. Runs
// between special characters go to UTF-8 whole, so surrogate pairs stay
// together.
std::string escape_text(WStringView text) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool special =
            i < text.size() &&
            (text[i] == u'\\' || text[i] == u'\n' || text[i] == u';' || text[i] == u',' ||
             (text[i] < 0x20 && text[i] != u'\t') || text[i] == 0x7F);
        if (i < text.size() && !special)
            continue;
        out += to_utf8(text.substr(start, i - start));
        if (i < text.size()) {
            switch (text[i]) {
            case u'\\':
                out += "\\\\";
                break;
            case u'\n':
                out += "\\n";
                break;
            case u';':
                out += "\\;";
                break;
            case u',':
                out += "\\,";
                break;
            default:
                break; // control character
            }
        }
        start = i + 1;
    }
    return out;
}

const char* phone_type_text(FT type) {
    switch (type) {
    case FT::Mobile:
        return "CELL";
    case FT::BusinessTel:
    case FT::Business2Tel:
        return "WORK,VOICE";
    case FT::HomeTel:
    case FT::Home2Tel:
        return "HOME,VOICE";
    case FT::CarTel:
        return "CAR";
    case FT::RadioTel:
        return "X-RADIO";
    case FT::CompanyMainTel:
        return "MAIN";
    case FT::AssistantTel:
        return "X-ASSISTANT";
    case FT::BusinessFax:
        return "WORK,FAX";
    case FT::HomeFax:
        return "HOME,FAX";
    case FT::PagerNumber:
        return "PAGER";
    default:
        return "VOICE";
    }
}

std::vector<std::string> split_type_text(const char* text) {
    std::vector<std::string> out;
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        out.emplace_back(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    return out;
}

} // namespace

std::string VCardProblem::text() const {
    std::string out = "line " + std::to_string(line);
    if (severity == Severity::skipped_card)
        return out + ": card at line " + std::to_string(card_line) + " skipped: " + message;
    if (card_line != 0 && card_line != line)
        out += " (card at line " + std::to_string(card_line) + ")";
    return out + ": " + message;
}

bool charset_supported(std::string_view name) {
    Decoder decoder;
    return decoder.known(name);
}

namespace {

// A card being read: where it began and its properties so far.
struct OpenCard {
    std::size_t begin = 0;
    std::vector<Property> properties;
};

// The vCard inside an AGENT value ("BEGIN:VCARD\nFN:..."), or nothing.
std::optional<std::string> inline_card(const Property& p) {
    if (p.name != "AGENT" || !istarts_with(p.value, "BEGIN:VCARD"))
        return std::nullopt;
    std::string text;
    for (std::size_t i = 0; i < p.value.size(); ++i) {
        if (p.value[i] == '\\' && i + 1 < p.value.size()) {
            const char next = p.value[++i];
            text += next == 'n' || next == 'N' ? std::string("\r\n") : std::string(1, next);
        } else {
            text += p.value[i];
        }
    }
    return text;
}

// An odd number of backslashes at the end: the line break itself is escaped.
bool ends_in_escape(std::string_view value) {
    std::size_t count = 0;
    while (count < value.size() && value[value.size() - 1 - count] == '\\')
        ++count;
    return count % 2 == 1;
}

// Reads the cards of `text` into `file`. `at_line` is non-zero for the card
// of an AGENT value: its problems are reported at the AGENT's line.
void read_cards(std::string_view text, const VCardOptions& options, Decoder& decoder,
                VCardFile& file, std::size_t at_line) {
    auto& problems = file.problems;
    std::vector<OpenCard> open; // a 2.1 AGENT's card lies on top of its owner's
    bool junk_reported = false;
    std::size_t last_line = 0;
    const auto where = [at_line](std::size_t line) { return at_line != 0 ? at_line : line; };
    const auto note = [&](std::size_t line, std::size_t card, std::string message) {
        problems.push_back({VCardProblem::Severity::note, where(line), card ? where(card) : 0,
                            std::move(message)});
    };
    const auto close_card = [&](std::size_t end_line) {
        OpenCard card = std::move(open.back());
        open.pop_back();
        ++file.cards;
        CardReader reader(options, decoder, where(card.begin), problems);
        for (const Property& p : card.properties)
            reader.take(p);
        const bool kept = reader.finish();
        file.numbers_left_out += reader.numbers_left_out;
        if (!kept) {
            problems.push_back({VCardProblem::Severity::skipped_card, where(end_line),
                                where(card.begin), "the card has no name, number or other field"});
            ++file.skipped_cards;
            return;
        }
        file.contacts.push_back(std::move(reader.result));
        file.card_lines.push_back(where(card.begin));
    };

    for (const Line& line : logical_lines(text)) {
        Property p;
        std::string error;
        const bool parsed = parse_property(line, p, error);
        last_line = line.number;
        const bool begin = parsed && p.name == "BEGIN" && names_vcard(p.value);
        const bool end = parsed && p.name == "END" && names_vcard(p.value);
        if (open.empty()) {
            if (begin) {
                open.push_back({line.number, {}});
                junk_reported = false;
            } else if (end) {
                note(line.number, 0, "END:VCARD without BEGIN:VCARD");
            } else if (!junk_reported) {
                note(line.number, 0, "text outside a card ignored");
                junk_reported = true;
            }
            continue;
        }
        auto& properties = open.back().properties;
        if (begin) {
            // vCard 2.1 writes an agent's card on the lines after "AGENT:".
            const bool agent =
                !properties.empty() && properties.back().name == "AGENT" &&
                properties.back().value.find_first_not_of(" \t") == std::string::npos;
            if (!agent) {
                note(line.number, open.back().begin,
                     "no END:VCARD before the next BEGIN:VCARD: the card ends here");
                close_card(line.number);
            }
            open.push_back({line.number, {}});
            continue;
        }
        if (end) {
            close_card(line.number);
            continue;
        }
        if (!parsed) {
            // A 2.1 value (an address) that goes on after an escaped line break.
            if (!properties.empty() && ends_in_escape(properties.back().value)) {
                properties.back().value += "n" + line.text;
                continue;
            }
            note(line.number, open.back().begin, "line skipped: " + error);
            continue;
        }
        if (auto agent = inline_card(p)) {
            read_cards(*agent, options, decoder, file, where(line.number));
            continue;
        }
        properties.push_back(std::move(p));
    }
    while (!open.empty()) {
        note(last_line, open.back().begin,
             "no END:VCARD before the end of the file: the card ends there");
        close_card(last_line);
    }
}

} // namespace

VCardFile parse_vcards(std::string_view text, const VCardOptions& options) {
    Decoder decoder;
    VCardFile file;
    read_cards(utf8_file_text(text, decoder), options, decoder, file, 0);
    return file;
}

std::string write_vcard(const ContactRecord& record, std::span<const std::byte> photo) {
    std::array<const WString*, kTypeCount> slots{};
    for (const auto& field : record.fields) {
        const auto t = static_cast<std::uint32_t>(field.type);
        if (t < kTypeCount && !field.value.empty())
            slots[t] = &field.value;
    }
    auto value = [&](FT type) -> WStringView {
        const WString* v = slots[static_cast<int>(type)];
        return v != nullptr ? WStringView(*v) : WStringView();
    };
    std::string out;
    put_line(out, "BEGIN:VCARD");
    put_line(out, "VERSION:3.0");
    put_line(out, "N:" + escape_text(record.last_name) + ";" + escape_text(record.first_name) +
                      ";" + escape_text(value(FT::MiddleName)) + ";;" +
                      escape_text(value(FT::Suffix)));
    WString display = record.first_name;
    if (!record.last_name.empty()) {
        if (!display.empty())
            display += u' ';
        display += record.last_name;
    }
    if (display.empty())
        display = record.company;
    put_line(out, "FN:" + escape_text(display));
    if (!record.company.empty() || !value(FT::Department).empty()) {
        std::string org = "ORG:" + escape_text(record.company);
        if (!value(FT::Department).empty())
            org += ";" + escape_text(value(FT::Department));
        put_line(out, org);
    }
    if (!value(FT::JobTitle).empty())
        put_line(out, "TITLE:" + escape_text(value(FT::JobTitle)));
    if (!value(FT::NickName).empty())
        put_line(out, "NICKNAME:" + escape_text(value(FT::NickName)));
    if (!value(FT::AssistantName).empty())
        put_line(out, "X-ASSISTANT:" + escape_text(value(FT::AssistantName)));

    // The numbers with their TYPE; a number the reader would place
    // elsewhere is pinned to its slot, until every one lands where it was.
    std::vector<FT> numbers;
    std::vector<PhoneWish> wishes;
    for (int t = 0; t < kTypeCount; ++t) {
        const auto type = static_cast<FT>(t);
        if (!is_phone_slot(type) || value(type).empty())
            continue;
        numbers.push_back(type);
        wishes.push_back({phone_classes(split_type_text(phone_type_text(type))), std::nullopt});
    }
    for (bool moved = true; moved;) {
        moved = false;
        const auto slots = assign_phones(wishes);
        for (std::size_t i = 0; i < numbers.size(); ++i)
            if (slots[i] != numbers[i] && !wishes[i].pin) {
                wishes[i].pin = numbers[i];
                moved = true;
            }
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        std::string line = std::string("TEL;TYPE=") + phone_type_text(numbers[i]);
        if (wishes[i].pin)
            line += ";" + std::string(kPinParam) + "=" + to_utf8(field_type_name(numbers[i]));
        put_line(out, line + ":" + escape_text(number_as_written(value(numbers[i]))));
    }
    Slots used;
    for (FT type : {FT::Email1, FT::Email2, FT::Email3}) {
        if (value(type).empty())
            continue;
        std::string line = "EMAIL;TYPE=INTERNET";
        // The reader takes the first free slot.
        FT first_free = FT::Email1;
        while (used[static_cast<int>(first_free)])
            first_free = static_cast<FT>(static_cast<int>(first_free) + 1);
        if (first_free != type)
            line += ";" + std::string(kPinParam) + "=" + to_utf8(field_type_name(type));
        used.set(static_cast<int>(type));
        put_line(out, line + ":" + escape_text(value(type)));
    }
    if (!value(FT::WebPage).empty())
        put_line(out, "URL:" + escape_text(value(FT::WebPage)));
    for (FT base : {FT::WorkAddress1, FT::HomeAddress1}) {
        std::string parts;
        bool any = false;
        for (int k = 0; k < 5; ++k) {
            const WStringView part = value(static_cast<FT>(static_cast<int>(base) + k));
            any = any || !part.empty();
            parts += ";" + escape_text(part);
        }
        if (any)
            put_line(out, std::string("ADR;TYPE=") + (base == FT::WorkAddress1 ? "WORK" : "HOME") +
                              ":;" + parts);
    }
    if (!value(FT::Birthday).empty()) {
        std::string digits_text = to_utf8(value(FT::Birthday));
        char* end = nullptr;
        const long long ms = std::strtoll(digits_text.c_str(), &end, 10);
        // Years beyond 9999 have no vCard form.
        constexpr long long latest = 253'402'300'799'999LL;
        if (end != nullptr && *end == '\0' && !digits_text.empty() && ms >= kEarliestMs &&
            ms <= latest)
            put_line(out, "BDAY:" + format_birthday(ms));
    }
    if (!value(FT::Categories).empty()) {
        std::string names;
        for (const auto& name : category_names(value(FT::Categories))) {
            if (!names.empty())
                names += ",";
            names += escape_text(name);
        }
        if (!names.empty())
            put_line(out, "CATEGORIES:" + names);
    }
    const char* type = photo_type(photo);
    if (type != nullptr && photo.size() <= kMaxPictureBytes)
        put_line(out, std::string("PHOTO;ENCODING=b;TYPE=") + type + ":" + encode_base64(photo));
    put_line(out, "END:VCARD");
    return out;
}

} // namespace telvara::data
