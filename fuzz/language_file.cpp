// Fuzzes the language-file reader: any bytes decode and parse without a
// crash, and every table it yields comes back unchanged when written as
// "key=text" lines and read again.
#include "ui/lang/language_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvara;
    using namespace telvara::ui;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const LanguageTable table = parse_language_text(decode_language_bytes(bytes));
    WString written;
    for (const auto& [key, text] : table) {
        if (key.empty() || key.find_first_of(u" \t\r\n=") != WString::npos ||
            text.find_first_of(u"\r\n") != WString::npos)
            std::abort();
        written += key + u"=" + text + u"\r\n";
    }
    std::string file("\xFF\xFE");
    for (char16_t c : written) {
        file.push_back(static_cast<char>(c & 0xFF));
        file.push_back(static_cast<char>(c >> 8));
    }
    if (parse_language_text(decode_language_bytes(file)) != table)
        std::abort();
    return 0;
}
