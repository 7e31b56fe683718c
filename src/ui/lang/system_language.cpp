// The primary-language table and the locale lookup.
#include "ui/lang/system_language.h"

#include <array>
#include <cstdlib>

namespace telvara::ui {
namespace {

struct LanguageSlot {
    unsigned id;
    std::string_view code;
    std::u16string_view name;
};

// The filled slots; every other identifier below 98 is empty.
constexpr LanguageSlot kSlots[] = {
    {1, "ar", u"arabic"},        {2, "bg", u"bulgarian"},   {3, "ca", u"catalan"},
    {4, "zh", u"chinese"},       {5, "cs", u"czech"},       {6, "da", u"danish"},
    {7, "de", u"german"},        {8, "el", u"greek"},       {9, "en", u"english"},
    {10, "es", u"spanish"},      {11, "fi", u"finnish"},    {12, "fr", u"french"},
    {13, "he", u"hebrew"},       {14, "hu", u"hungarian"},  {15, "is", u"icelandic"},
    {16, "it", u"italian"},      {17, "ja", u"japanese"},   {18, "ko", u"korean"},
    {19, "nl", u"dutch"},        {20, "no", u"norwegian"},  {21, "pl", u"polish"},
    {22, "pt", u"portuguese"},   {24, "ro", u"romanian"},   {25, "ru", u"russian"},
    {26, "hr", u"croatian"},     {27, "sk", u"slovak"},     {28, "sq", u"albanian"},
    {29, "sv", u"swedish"},      {30, "th", u"thai"},       {31, "tr", u"turkish"},
    {32, "ur", u"urdu"},         {33, "id", u"indonesian"}, {34, "uk", u"ukrainian"},
    {35, "be", u"byelorussian"}, {36, "sl", u"slovenian"},  {37, "et", u"estonian"},
    {38, "lv", u"latvian"},      {39, "lt", u"lithuanian"}, {41, "fa", u"persian"},
    {42, "vi", u"vietnamese"},   {43, "hy", u"armenian"},   {44, "az", u"azerbaijani"},
    {45, "eu", u"basque"},       {47, "mk", u"macedonian"}, {54, "af", u"afrikaans"},
    {55, "ka", u"georgian"},     {56, "fo", u"faroese"},    {57, "hi", u"hindi"},
    {62, "ms", u"malay"},        {63, "kk", u"kazakh"},     {65, "sw", u"swahili"},
    {67, "uz", u"uzbek"},        {68, "tt", u"tatar"},      {69, "bn", u"bengali"},
    {70, "pa", u"punjabi"},      {71, "gu", u"gujarati"},   {72, "or", u"oriya"},
    {73, "ta", u"tamil"},        {74, "te", u"telugu"},     {75, "kn", u"kannada"},
    {76, "ml", u"malayalam"},    {77, "as", u"assamese"},   {78, "mr", u"marathi"},
    {79, "sa", u"sanskrit"},     {89, "sd", u"sindhi"},     {96, "ks", u"kashmiri"},
    {97, "ne", u"nepali"},
};

// Codes that name a slot under another spelling.
struct CodeAlias {
    std::string_view code;
    std::string_view canonical;
};
constexpr CodeAlias kAliases[] = {
    {"iw", "he"},
    {"in", "id"},
    {"nb", "no"},
    {"nn", "no"},
};

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

WString language_name_for_id(unsigned primary_language) {
    for (const LanguageSlot& slot : kSlots)
        if (slot.id == primary_language)
            return WString(slot.name);
    return {};
}

WString language_name_for_locale(std::string_view locale) {
    const std::size_t end = locale.find_first_of("_.@");
    std::string code(locale.substr(0, end));
    for (char& c : code)
        c = ascii_lower(c);
    for (const CodeAlias& alias : kAliases)
        if (code == alias.code)
            code = alias.canonical;
    for (const LanguageSlot& slot : kSlots)
        if (slot.code == code)
            return WString(slot.name);
    return {}; // also "c" and "posix"
}

WString system_language_name() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return language_name_for_locale(value);
    }
    return {};
}

} // namespace telvara::ui
