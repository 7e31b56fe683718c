// Every key a screen shows is in every language file, or the key itself would show.
#include "data/contact_record.h"
#include "platform/text.h"
#include "runtime/paths.h"
#include "ui/lang/language_file.h"
#include "ui/properties.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

namespace telvara::forms {
namespace {

namespace fs = std::filesystem;

const char* const kLanguages[] = {"english.lng", "russian.lng"};

std::map<std::string, ui::LanguageTable> shipped_languages() {
    std::map<std::string, ui::LanguageTable> tables;
    for (const char* file : kLanguages) {
        auto table = ui::read_language_file(runtime::file_path(u"%app_path%/" + from_utf8(file)));
        EXPECT_TRUE(table) << file;
        if (table)
            tables[file] = std::move(*table);
    }
    return tables;
}

// Where each key was found, for the failure message.
using Keys = std::map<WString, std::string>;

void expect_in_every_language(const Keys& keys) {
    const auto tables = shipped_languages();
    ASSERT_EQ(tables.size(), std::size(kLanguages));
    for (const auto& [file, table] : tables) {
        for (const auto& [key, where] : keys) {
            const auto found = table.find(key);
            if (found == table.end())
                ADD_FAILURE() << file << " has no " << to_utf8(key) << " (" << where << ")";
            else
                EXPECT_FALSE(found->second.empty()) << file << ": " << to_utf8(key);
        }
    }
}

// A node text that is a language key ("skinRecents", "Cancel"), not "ABC", "2" or "+".
bool is_key(WStringView text) {
    if (text.empty())
        return false;
    bool small = false;
    for (const char16_t c : text) {
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        if (!letter && !(c >= u'0' && c <= u'9') && c != u'_' && c != u'#')
            return false;
        small = small || (c >= u'a' && c <= u'z');
    }
    return small;
}

void collect_texts(const ui::Properties& skin, ui::NodeRecord record, int depth,
                   const std::string& where, Keys& keys) {
    if (!record || depth > ui::kMaxNodeDepth)
        return;
    const WString text = skin.read_string(record, u"text", u"");
    if (is_key(text))
        keys.emplace(text, where + " " + to_utf8(skin.read_string(record, u"id", u"")));
    for (std::uint32_t i = 0; i < skin.child_count(record); ++i)
        collect_texts(skin, skin.child(record, i), depth + 1, where, keys);
}

TEST(ScreenWords, EveryKeyOfEveryShippedSkinIsInEveryLanguage) {
    std::vector<fs::path> skins;
    for (const auto& entry : fs::directory_iterator(TELVARA_PROGRAM_SKINS))
        if (entry.path().extension() == ".skin")
            skins.push_back(entry.path());
    ASSERT_FALSE(skins.empty());
    for (const fs::path& file : skins) {
        SCOPED_TRACE(file.filename().string());
        std::ifstream in(file, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        ui::PropertiesImpl impl(std::move(bytes), file.parent_path().string(),
                                from_utf8(file.filename().string()), 0);
        ASSERT_TRUE(impl.is_loaded()) << impl.load_error();
        ui::Properties skin;
        ASSERT_TRUE(skin.install(impl)); // takes the content over
        Keys keys;
        for (const auto& [name, record] : skin.impl().top_level_nodes())
            collect_texts(skin, record, 0, file.filename().string(), keys);
        EXPECT_TRUE(file.stem().string().starts_with("splash") || keys.contains(u"skinRecents"))
            << "the walk reaches the texts";
        expect_in_every_language(keys);
    }
}

std::string read_text(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Keys the code hands to the language: "skin..." literals (not a prefix before "+"), and
// literals given to translate(), show_notice() (either side of "?:") or a menu item.
Keys code_keys() {
    static const std::regex skin_literal(R"re(u"(skin[A-Z_]\w*)"\s*([+]?))re");
    static const std::regex call(
        R"re((translate|show_notice)\(([^;()]*)|add_menu_item\(\s*\w+\s*,\s*u"([^"]+)")re");
    static const std::regex literal(R"re(u"([A-Za-z_][\w#]*)")re");
    Keys keys;
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(TELVARA_SOURCE_DIR) / "src")) {
        const auto extension = entry.path().extension();
        if (extension != ".cpp" && extension != ".h")
            continue;
        const std::string source = read_text(entry.path());
        const std::string where = fs::relative(entry.path(), TELVARA_SOURCE_DIR).string();
        for (std::sregex_iterator it(source.begin(), source.end(), skin_literal), end; it != end;
             ++it)
            if ((*it)[2].length() == 0)
                keys.emplace(from_utf8((*it)[1].str()), where);
        for (std::sregex_iterator it(source.begin(), source.end(), call), end; it != end; ++it) {
            if ((*it)[3].matched) {
                keys.emplace(from_utf8((*it)[3].str()), where);
                continue;
            }
            const std::string arguments = (*it)[2].str();
            for (std::sregex_iterator at(arguments.begin(), arguments.end(), literal); at != end;
                 ++at)
                keys.emplace(from_utf8((*at)[1].str()), where);
        }
    }
    return keys;
}

TEST(ScreenWords, EveryKeyTheCodeAsksForIsInEveryLanguage) {
    const Keys keys = code_keys();
    // The scan finds keys of each kind it looks for.
    for (const char16_t* known : {u"skinNoRecents", u"NoSkins", u"menuFilter", u"skinYesterday",
                                  u"skinPictureNotUsable", u"skinLanguageName"})
        EXPECT_TRUE(keys.contains(known)) << to_utf8(known);
    expect_in_every_language(keys);
}

TEST(ScreenWords, FieldLabelsAndDateWordsAreInEveryLanguage) {
    Keys keys;
    // Types 24 to 33 are the parts of the two addresses.
    for (std::uint32_t type = 0; type <= 33; ++type)
        keys.emplace(data::field_type_name(static_cast<data::FieldType>(type)), "field label");
    for (int month = 1; month <= 12; ++month)
        for (const char* kind : {"", "Short", "Wheel"})
            keys.emplace(from_utf8("skinMonth" + std::string(kind) + std::to_string(month)),
                         "month");
    for (int day = 1; day <= 7; ++day)
        for (const char* kind : {"", "Short"})
            keys.emplace(from_utf8("skinWeekday" + std::string(kind) + std::to_string(day)),
                         "weekday");
    for (const char16_t* picture : {u"skinDateFormat", u"skinDayMonthFormat",
                                    u"skinShortDateFormat", u"skinShortDateYearFormat"})
        keys.emplace(picture, "date picture");
    keys.emplace(u"skinAlphabet", "keypad letters");
    expect_in_every_language(keys);
}

} // namespace
} // namespace telvara::forms
