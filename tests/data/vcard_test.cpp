// vCards as phones and programs write them, each shape read, written back and read again unchanged.
#include "data/contact_photo.h"
#include "data/test_contacts.h"
#include "data/vcard.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
using namespace telvara;
using namespace telvara::data;

namespace {
// Names, company and fields alike (the oid aside).
bool same(const ContactRecord& a, const ContactRecord& b) {
    return std::tie(a.first_name, a.last_name, a.company, a.fields) ==
           std::tie(b.first_name, b.last_name, b.company, b.fields);
}
WString value(const ContactRecord& r, FieldType type) {
    const ContactField* f = r.field(type);
    return f != nullptr ? f->value : WString(u"<none>");
}
std::string card(std::string_view version, std::string_view body) {
    return "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n" + std::string(body) +
           "END:VCARD\r\n";
}
ContactWithPhoto only_card(std::string_view text) {
    VCardFile file = parse_vcards(text);
    EXPECT_EQ(file.contacts.size(), 1u);
    for (const auto& p : file.problems)
        ADD_FAILURE() << p.text();
    return file.contacts.empty() ? ContactWithPhoto{} : file.contacts[0];
}
const auto v21 = [](std::string_view body) { return card("2.1", body); };
const auto v30 = [](std::string_view body) { return card("3.0", body); };
const auto v40 = [](std::string_view body) { return card("4.0", body); };
// The same card with every line ended by `end`.
std::string with_line_ends(const char* end) {
    std::string text;
    for (const char* line : {"BEGIN:VCARD", "VERSION:3.0", "N:Lo", " ng;Ja", " ne;;;",
                             "TEL;TYPE=CELL:+1", "  555", "no colon here", "END:VCARD"})
        text += std::string(line) + end;
    return text;
}
enum class Name { first, last, company };

// A name or a field of the card and its expected value ("<none>": absent).
struct Want {
    Want(Name name, const char16_t* value) : name(name), value(value) {}
    Want(FieldType type, const char16_t* value) : type(type), value(value) {}
    WString of(const ContactRecord& r) const {
        if (!name)
            return ::value(r, type);
        return *name == Name::first ? r.first_name : *name == Name::last ? r.last_name : r.company;
    }
    std::optional<Name> name;
    FieldType type = FieldType::Unknown;
    WString value;
};

struct Shape {
    const char* name;
    std::string text;
    std::vector<Want> want;                 // of the file's last card
    std::vector<std::string> problems = {}; // each found in its problem's text, in order
};
std::vector<std::byte> small_png() {
    RgbImage image;
    image.width = 4;
    image.height = 3;
    image.rgb.assign(4 * 3 * 3, 0x80);
    return encode_png(image);
}
std::string base64(std::span<const std::byte> bytes) {
    // The writer's own encoding, taken from a written card.
    ContactRecord r;
    r.first_name = u"x";
    const std::string text = write_vcard(r, bytes);
    const auto at = text.find("PHOTO;ENCODING=b;TYPE=PNG:");
    std::string out;
    for (std::size_t i = text.find(':', at) + 1; i < text.size(); ++i) {
        if (text.compare(i, 9, "END:VCARD") == 0)
            break;
        if (text[i] != '\r' && text[i] != '\n' && text[i] != ' ')
            out.push_back(text[i]);
    }
    return out;
}
std::vector<Shape> shapes() {
    using enum FieldType;
    using enum Name;
    const std::string first_card = v30("FN:First\r\n"); // lines 1-4: the card line in problems
    std::string many_categories = "CATEGORIES:";
    for (std::size_t i = 0; i < kMaxCardCategories + 44; ++i)
        many_categories += (i == 0 ? "c" : ",c") + std::to_string(i);
    std::string utf16 = "\xFF\xFE";
    for (char c : v30("FN:Ann\r\n"))
        utf16 += std::string{c, '\0'};
    // clang-format off
    return {
        // Charsets and encodings.
        {"2.1 quoted-printable UTF-8 with a soft line break",
         v21("N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=D0=9F=D0=B5=D1=82=\r\n"
             "=D1=80=D0=BE=D0=B2;=D0=98=D0=B2=D0=B0=D0=BD;;;\r\n"
             "TEL;CELL;VOICE:+7 912 345-67-89\r\n"),
         {{last, u"Петров"}, {first, u"Иван"}, {Mobile, u"+7 912 345-67-89"}}},
        {"windows-1251, an encoded line break",
         v21("N;CHARSET=windows-1251;ENCODING=QUOTED-PRINTABLE:=CF=E5=F2=F0=EE=E2;=C8=E2=E0=ED\r\n"
             "ORG;CHARSET=WINDOWS-1251:\xCF\xEE\xF7\xF2\xE0\r\n"
             "ADR;HOME;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;=D1=83=D0=BB. 1=0D=0A"
             "=D0=BA=D0=B2. 2;\r\n"),
         {{last, u"Петров"}, {first, u"Иван"}, {company, u"Почта"},
          {HomeAddress1, u"ул. 1\nкв. 2"}}},
        {"Shift_JIS", v21("N;CHARSET=SHIFT_JIS:\x8E\x52\x93\x63\r\n"), {{last, u"山田"}}},
        {"GB18030", v21("N;CHARSET=GB18030:\xCD\xF5\xB7\xBC\r\n"), {{last, u"王芳"}}},
        {"GBK", v21("N;CHARSET=GBK:\xC0\xEE\xC4\xC8\r\n"), {{last, u"李娜"}}},
        {"Big5", v21("N;CHARSET=BIG5:\xB3\xAF\xAC\xFC\r\n"), {{last, u"陳美"}}},
        {"EUC-KR", v21("N;CHARSET=EUC-KR:\xB1\xE8\xB9\xCE\r\n"), {{last, u"김민"}}},
        {"KOI8-U", v21("N;CHARSET=KOI8-U:\xB7\xD6\xC1\xCB\r\n"), {{last, u"Їжак"}}},
        {"ISO-8859-5", v21("N;CHARSET=ISO-8859-5:\xB6\xE3\xDA\r\n"), {{last, u"Жук"}}},
        {"windows-1250", v21("N;CHARSET=windows-1250:\xA3\xF3\x64\x9F\r\n"), {{last, u"Łódź"}}},
        {"UTF-16 quoted-printable",
         v21("N;CHARSET=UTF-16LE;ENCODING=QUOTED-PRINTABLE:=A9=03m=00e=00g=00a=00\r\n"),
         {{last, u"Ωmega"}}}, {"a whole file in UTF-16 with its mark", utf16, {{first, u"Ann"}}},
        // Text that cannot be decoded keeps its bytes, one character each, and is reported.
        {"unknown charset",
         v21("N;CHARSET=X-MADE-UP:\xC0\xE1\r\n"),
         {{last, u"\u00C0\u00E1"}}, {"line 3"}},
        {"not UTF-8 after all",
         v21("N;CHARSET=UTF-8:\xC0\xE1\r\n"),
         {{last, u"\u00C0\u00E1"}}, {"line 3"}},
        {"no such Shift_JIS character",
         v21("N;CHARSET=SHIFT_JIS:\x81\xFF\r\n"),
         {{last, u"\u0081\u00FF"}}, {"line 3"}},
        // Lines and line ends.
        {"folded lines, a bare LF, no last line end",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lo\r\n ng;Na\r\n\tme;;;\r\nNOTE:ignored\r\n"
         "TITLE:Chief \r\n  Engineer\nEND:VCARD",
         {{last, u"Long"}, {first, u"Name"}, {JobTitle, u"Chief  Engineer"}}}, // one blank goes
        {"CR LF",
         with_line_ends("\r\n"),
         {{last, u"Long"}, {first, u"Jane"}, {Mobile, u"+1 555"}},
         {"line 8"}}, // physical lines are counted
        {"LF", with_line_ends("\n"), {{last, u"Long"}, {Mobile, u"+1 555"}}, {"line 8"}},
        {"CR", with_line_ends("\r"), {{last, u"Long"}, {Mobile, u"+1 555"}}, {"line 8"}},
        {"CR CR LF", with_line_ends("\r\r\n"), {{last, u"Long"}, {Mobile, u"+1 555"}}, {"line 8"}},
        {"mixed line ends",
         "BEGIN:VCARD\r\nN:A;B\nX\rTEL:1\r\r\nEND:VCARD\n",
         {{Mobile, u"1"}}, {"line 3"}},
        {"a 2.1 value going on after a backslash",
         v21("N:Roe;Jane\r\nADR;HOME:;;1 Main St\\\r\nFlat 2;Leeds;;;\r\n"),
         {{HomeAddress1, u"1 Main St\nFlat 2"}, {FieldType(30), u"Leeds"}}},
        // Lines that are not properties cost only themselves.
        {"stray comment",
         v21("N:Roe;Jane\r\n# exported by a phone\r\nTEL;CELL:+1 555 0100\r\n"),
         {{Mobile, u"+1 555 0100"}}, {"line 4"}},
        {"bare name",
         v21("N:Roe;Jane\r\nFN\r\nTEL;CELL:+1 555 0100\r\n"),
         {{Mobile, u"+1 555 0100"}}, {"line 4"}},
        {"bad character in a name",
         v21("N:Roe;Jane\r\nN@ME:x\r\nTEL;CELL:+1 555 0100\r\n"),
         {{Mobile, u"+1 555 0100"}}, {"line 4"}},
        {"unclosed quote",
         v21("N:Roe;Jane\r\nX-A;TYPE=\"home:1\r\nTEL;CELL:+1 555 0100\r\n"),
         {{Mobile, u"+1 555 0100"}}, {"line 4"}},
        {"bad quoted-printable",
         v21("N:Roe;Jane\r\nORG;ENCODING=QUOTED-PRINTABLE:=ZZ\r\nTEL;CELL:+1 555 0100\r\n"),
         {{Mobile, u"+1 555 0100"}}, {"line 4"}},
        // Numbers in every slot.
        {"numbers by type and group",
         v30("N:Doe;Jane;;;\r\nitem1.TEL;type=CELL:1\r\nitem1.X-ABLabel:mobile\r\n"
             "TEL;TYPE=WORK:2\r\nTEL;TYPE=WORK,VOICE:3\r\nTEL;TYPE=HOME:4\r\nTEL;TYPE=HOME:5\r\n"
             "TEL;TYPE=CAR:6\r\nTEL;TYPE=PAGER:7\r\nTEL;TYPE=WORK;TYPE=FAX:8\r\n"
             "TEL;TYPE=HOME,FAX:9\r\nTEL;TYPE=MAIN:10\r\nTEL;TYPE=CELL:11\r\n"),
         {{Mobile, u"1"},
          {BusinessTel, u"2"}, {Business2Tel, u"3"}, {HomeTel, u"4"}, {Home2Tel, u"5"},
          {CarTel, u"6"}, {PagerNumber, u"7"}, {BusinessFax, u"8"}, {HomeFax, u"9"},
          {CompanyMainTel, u"10"}, {RadioTel, u"11"}}}, // the second mobile
        {"untyped numbers go on to CarTel",
         v30("N:Doe;Jane;;;\r\nTEL;TYPE=CELL:1\r\nTEL:2\r\nTEL:3\r\nTEL:4\r\nTEL:5\r\nTEL:6\r\n"
             "TEL:7\r\n"),
         {{CarTel, u"7"}}},
        {"untyped before CELL",
         v21("FN:A\r\nTEL:1\r\nTEL;VOICE:2\r\nTEL;CELL:3\r\n"),
         {{Mobile, u"3"}, {HomeTel, u"1"}, {BusinessTel, u"2"}}},
        {"OTHER and FAX is a fax",
         v21("FN:A\r\nTEL;TYPE=OTHER;TYPE=FAX:9\r\n"),
         {{BusinessFax, u"9"}}},
        {"third WORK number",
         v21("FN:A\r\nTEL;WORK:1\r\nTEL;WORK:2\r\nTEL;WORK:3\r\nTEL;CELL:4\r\n"),
         {{Mobile, u"4"}, {BusinessTel, u"1"}, {Business2Tel, u"2"}, {HomeTel, u"3"}}},
        {"assistant and radio types",
         v30("FN:A\r\nTEL;TYPE=X-ASSISTANT:8\r\nTEL;TYPE=RADIO:6\r\n"),
         {{AssistantTel, u"8"}, {RadioTel, u"6"}}},
        {"3.0 lower-case type",
         v30("FN:A B\r\nN:B;A;;;\r\nTEL;TYPE=cell:+1 555\r\n"),
         {{Mobile, u"+1 555"}}},
        {"4.0 tel: URIs and a photo by address",
         v40("FN:A B\r\nN:B;A;;;\r\nTEL;VALUE=uri;TYPE=\"cell,voice\";PREF=1:tel:+1-555\r\n"
             "TEL;VALUE=uri;TYPE=\"work,voice\":tel:+1-666\r\nPHOTO:http://example.com/a.jpg\r\n"),
         {{Mobile, u"+1-555"}, {BusinessTel, u"+1-666"}},
         {"line 7 (card at line 1): photo at \"http://example.com/a.jpg\" not fetched"}},
        {"long ORG, extensions, sip: and a zoned birthday",
         v40("FN:A\r\nORG:Acme;Sales;EMEA;North\r\n"
             "TEL;VALUE=uri;TYPE=work:tel:+1-555-0100;ext=102;phone-context=example.com\r\n"
             "TEL;VALUE=uri:sip:alice@example.com\r\nIMPP:xmpp:alice@example.com\r\n"
             "BDAY:1987-09-27T20:30:00-06:00\r\n"),
         {{company, u"Acme"},
          {Department, u"Sales, EMEA, North"}, {BusinessTel, u"+1-555-0100,102"},
          {Mobile, u"<none>"},          // sip: is no phone number
          {Birthday, u"559773000000"}}, // 1987-09-27 20:30
         {"not a phone number"}},
        // Names, addresses, birthdays and the rest.
        {"every other field",
         v30("N:Smith;John;Q;Dr.;Jr.\r\nNICKNAME:Johnny\r\nTITLE:Boss\r\n"
             "ORG:Acme\\, Inc.;Sales\r\nURL:https://acme.example/\r\n"
             "EMAIL;TYPE=INTERNET:a@x\r\nEMAIL:b@x\r\nEMAIL:c@x\r\nEMAIL:d@x\r\n"
             "ADR;TYPE=WORK:PO 5;Suite 2;1 Main St;Springfield;IL;62701;USA\r\n"
             "ADR;TYPE=HOME:;;2 Elm\\nBack door;Shelbyville;;;\r\n"
             "BDAY:1980-05-21\r\nCATEGORIES:Work, Friends;Golf,,Work\r\n"),
         {{company, u"Acme, Inc."},
          {Department, u"Sales"}, {MiddleName, u"Q"}, {Suffix, u"Jr."}, {NickName, u"Johnny"},
          {JobTitle, u"Boss"}, {WebPage, u"https://acme.example/"}, {Email3, u"c@x"},
          {WorkAddress1, u"PO 5, Suite 2, 1 Main St"}, {FieldType(25), u"Springfield"},
          {FieldType(26), u"IL"}, {FieldType(27), u"62701"}, {WorkAddress5, u"USA"},
          {HomeAddress1, u"2 Elm\nBack door"}, {FieldType(31), u"<none>"},
          {Birthday, u"327715200000"}, {Categories, u"Work, Friends, Golf, Work"}},
         {"line 11 (card at line 1): more than three e-mail addresses: d@x left out"}},
        {"basic birthday", v40("FN:X\r\nBDAY:19800521\r\n"), {{Birthday, u"327715200000"}}},
        {"birthday in UTC",
         v40("FN:X\r\nBDAY:1980-05-21T10:30:00Z\r\n"),
         {{Birthday, u"327753000000"}}},
        {"birthday zone left out",
         v40("FN:X\r\nBDAY:19800521T103000+0100\r\n"),
         {{Birthday, u"327753000000"}}},
        {"birthday without a year",
         v40("FN:X\r\nBDAY:--0521\r\n"),
         {{Birthday, u"-11537683200000"}}}, // 1604-05-21
        {"birthday without a year, extended",
         v40("FN:X\r\nBDAY:--05-21\r\n"),
         {{Birthday, u"-11537683200000"}}},
        {"month 13", v30("FN:X\r\nBDAY:1980-13-01\r\n"), {{Birthday, u"<none>"}}, {"line 4"}},
        {"February 30", v30("FN:X\r\nBDAY:1980-02-30\r\n"), {{Birthday, u"<none>"}}, {"line 4"}},
        {"year 1500", v30("FN:X\r\nBDAY:1500-01-01\r\n"), {{Birthday, u"<none>"}}, {"line 4"}},
        {"words", v30("FN:X\r\nBDAY:May 21\r\n"), {{Birthday, u"<none>"}}, {"line 4"}},
        {"company card",
         v30("N:;;;;\r\nFN:Acme\r\nORG:Acme\r\nTEL:1\r\n"),
         {{first, u""}, {last, u""}, {company, u"Acme"}}},
        {"KIND:org", v40("KIND:org\r\nFN:Shop\r\n"), {{first, u""}, {company, u"Shop"}}},
        {"FN only", v40("FN:Jane Roe\r\nORG:Acme\r\n"), {{first, u"Jane Roe"}, {company, u"Acme"}}},
        // Damaged or hostile content: reported with its line and its card's line.
        {"UTF-8 named, other bytes",
         first_card + v21("N;CHARSET=UTF-8:Bad\xFF;Ann\r\nTEL:1\r\n"),
         {{Mobile, u"1"}}, {"line 7 (card at line 5): N is not UTF-8 text: kept byte for byte"}},
        {"a 4.0 card is UTF-8",
         first_card + v40("FN:Z\xE9ro\r\nTEL:1\r\n"),
         {{Mobile, u"1"}},
         {"line 7 (card at line 5): FN is not UTF-8 text, as a vCard 4.0 must be: read as "
          "WINDOWS-1252"}},
        {"escape sequence in a number",
         first_card + v30("FN:Eve\r\nTEL:+1 555\x1B[31m 0100\r\nTEL;WORK:2\r\n"),
         {{BusinessTel, u"2"}, {Mobile, u"<none>"}},
         {"line 8 (card at line 5): \"+1 555\\x1B[31m 0100\" has control characters: not taken "
          "as a number"}},
        {"NUL in a number",
         first_card + v30(std::string("FN:Eve\r\nTEL:12\0"
                                      "3\r\nTEL;WORK:2\r\n",
                                      30)),
         {{BusinessTel, u"2"}, {Mobile, u"<none>"}},
         {"line 8 (card at line 5): \"12\\x003\" has control characters: not taken as a number"}},
        {"a control character escaped in a tel: URI",
         first_card + v30("FN:Eve\r\nTEL:tel:1%1B2\r\nTEL;WORK:2\r\n"),
         {{BusinessTel, u"2"}, {Mobile, u"<none>"}},
         {"line 8 (card at line 5): \"tel:1%1B2\" has control characters: not taken as a number"}},
        {"categories past the bound",
         v30("FN:Many\r\n" + many_categories + "\r\n"),
         {}, {"line 4 (card at line 1): more than 256 categories: 44 left out"}},
    };
    // clang-format on
}

} // namespace

TEST(VCard, EveryShapeGivesItsFieldsAndProblemsAndReadsBackTheSame) {
    for (const Shape& shape : shapes()) {
        SCOPED_TRACE(shape.name);
        const VCardFile file = parse_vcards(shape.text);
        ASSERT_FALSE(file.contacts.empty());
        EXPECT_EQ(file.skipped_cards, 0u);
        const ContactRecord& r = file.contacts.back().record;
        for (const Want& want : shape.want)
            EXPECT_EQ(want.of(r), want.value) << to_utf8(want.value);
        ASSERT_EQ(file.problems.size(), shape.problems.size());
        for (std::size_t i = 0; i < shape.problems.size(); ++i)
            EXPECT_NE(file.problems[i].text().find(shape.problems[i]), std::string::npos)
                << file.problems[i].text();
        // Fields in the store's order; no control character and no replacement character.
        EXPECT_TRUE(std::is_sorted(r.fields.begin(), r.fields.end(),
                                   [](auto& a, auto& b) { return a.type < b.type; }));
        for (const WString& text : {r.first_name, r.last_name, r.company})
            EXPECT_EQ(text.find(u'\uFFFD'), WString::npos);
        for (const ContactField& f : r.fields)
            EXPECT_TRUE(std::none_of(f.value.begin(), f.value.end(), [](char16_t c) {
                return (c < 0x20 && c != u'\n') || c == u'\uFFFD';
            })) << to_utf8(f.value);
        const VCardFile again = parse_vcards(write_vcard(r));
        ASSERT_EQ(again.contacts.size(), 1u);
        EXPECT_TRUE(again.problems.empty());
        EXPECT_TRUE(same(again.contacts[0].record, r));
    }
    // Thirteen untyped numbers: the twelve phone slots fill, one is left out.
    std::string many = "FN:A\r\n";
    for (int i = 1; i <= 13; ++i)
        many += "TEL:" + std::to_string(i) + "\r\n";
    const VCardFile full = parse_vcards(v21(many));
    ASSERT_EQ(full.contacts.size(), 1u);
    EXPECT_EQ(full.contacts[0].record.fields.size(), 12u);
    EXPECT_EQ(value(full.contacts[0].record, FieldType::HomeFax), u"12");
    EXPECT_EQ(full.numbers_left_out, 1u);
    // 8-bit text naming no charset: UTF-8 when valid, else the fallback.
    VCardOptions koi;
    ASSERT_TRUE(charset_supported("KOI8-R"));
    EXPECT_TRUE(charset_supported("Shift_JIS") && charset_supported("cp1251"));
    EXPECT_FALSE(charset_supported("X-MADE-UP"));
    koi.fallback = "KOI8-R";
    auto file = parse_vcards(v21("N:\xE9\xD7\xC1\xCE\r\n"), koi);
    ASSERT_EQ(file.contacts.size(), 1u);
    EXPECT_EQ(file.contacts[0].record.last_name, u"Иван");
}

TEST(VCard, Photos) {
    const auto png = small_png();
    const std::string b64 = base64(png);
    ASSERT_FALSE(b64.empty());
    // vCard 2.1: folded base64 ending with an empty line.
    std::string folded;
    for (std::size_t i = 0; i < b64.size(); i += 20)
        folded += "  " + b64.substr(i, 20) + "\r\n";
    auto old = only_card(
        card("2.1", "N:A;B\r\nPHOTO;ENCODING=BASE64;TYPE=PNG:\r\n" + folded + "\r\nTEL:1\r\n"));
    EXPECT_EQ(old.photo, png);
    EXPECT_EQ(value(old.record, FieldType::Mobile), u"1");
    auto v4 = only_card(card("4.0", "FN:A\r\nPHOTO:data:image/png;base64," + b64 + "\r\n"));
    EXPECT_EQ(v4.photo, png);
    // Not an image we can show: left out with a note, the card kept.
    auto gif = parse_vcards(card("3.0", "FN:A\r\nPHOTO;ENCODING=b;TYPE=GIF:R0lGODlh\r\n"));
    ASSERT_EQ(gif.contacts.size(), 1u);
    EXPECT_TRUE(gif.contacts[0].photo.empty());
    ASSERT_EQ(gif.problems.size(), 1u);
    EXPECT_NE(gif.problems[0].message.find("neither JPEG nor PNG"), std::string::npos);
}

TEST(VCard, OnlyEmptyCardsAreSkipped) {
    const std::string text = card("3.0", "FN:First\r\n") +             // lines 1-4
                             card("3.0", "NOTE:nothing we keep\r\n") + // 5-8
                             "BEGIN:VCARD\r\nFN:No end\r\n" +          // 9-10
                             card("3.0", "FN:Last\r\n") +              // 11-14
                             "BEGIN:VCARD\r\nFN:Unended\r\n";          // 15-16
    VCardFile file = parse_vcards(text);
    std::vector<WString> names;
    for (const auto& c : file.contacts)
        names.push_back(c.record.first_name);
    EXPECT_EQ(names, (std::vector<WString>{u"First", u"No end", u"Last", u"Unended"}));
    EXPECT_EQ(file.card_lines, (std::vector<std::size_t>{1, 9, 11, 15}));
    EXPECT_EQ(file.cards, 5u);
    EXPECT_EQ(file.skipped_cards, 1u);
    ASSERT_EQ(file.problems.size(), 3u);
    EXPECT_EQ(file.problems[0].text(),
              "line 8: card at line 5 skipped: the card has no name, number or other field");
    EXPECT_EQ(file.problems[1].line, 11u);
    EXPECT_EQ(file.problems[2].line, 16u);
    EXPECT_TRUE(parse_vcards("").contacts.empty());
    VCardFile junk = parse_vcards("hello\r\nworld\r\n" + card("3.0", "FN:A\r\n"));
    EXPECT_EQ(junk.contacts.size(), 1u);
    EXPECT_EQ(junk.problems.size(), 1u) << "one note for a block of stray text";
}

TEST(VCard, NestedAgentCardsAreCardsOfTheirOwn) {
    // A 2.1 AGENT card on the lines after "AGENT:", and a 3.0 one in the value.
    const VCardFile agents = parse_vcards(
        v21("N:Boss;Big\r\nAGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN:Aide;Amy\r\nTEL:2\r\n"
            "END:VCARD\r\nTEL:1\r\n") +
        v30("FN:Chief\r\nAGENT:BEGIN:VCARD\\nVERSION:3.0\\nFN:Susan\\nTEL:3\\nEND:VCARD\r\n"));
    std::vector<WString> names;
    for (const auto& c : agents.contacts)
        names.push_back(c.record.first_name + u"/" + value(c.record, FieldType::Mobile));
    EXPECT_EQ(names, (std::vector<WString>{u"Amy/2", u"Big/1", u"Susan/3", u"Chief/<none>"}));
    EXPECT_TRUE(agents.problems.empty());
}

TEST(VCardRoundTrip, GeneratedContactsWithPhotosComeBackEqual) {
    std::string text;
    std::vector<ContactWithPhoto> originals;
    for (std::size_t i = 0; i < 300; ++i) {
        originals.push_back({make_test_contact(i), make_test_contact_photo(i)});
        text += write_vcard(originals.back().record, originals.back().photo);
    }
    VCardFile file = parse_vcards(text);
    EXPECT_TRUE(file.problems.empty());
    ASSERT_EQ(file.contacts.size(), originals.size());
    for (std::size_t i = 0; i < originals.size(); ++i) {
        EXPECT_TRUE(same(file.contacts[i].record, originals[i].record)) << i;
        EXPECT_EQ(file.contacts[i].photo, originals[i].photo) << i;
    }
}

TEST(VCardRoundTrip, OddRecordsKeepTheirSlotsAndText) {
    ContactRecord r;
    r.first_name = u"Semi;colon, comma\\back";
    r.company = u"Line\nbreak 😀";
    auto add = [&](FieldType t, const char16_t* v) { r.fields.emplace_back(t, v); };
    // Second slots without the first, which plain TYPEs would not give back.
    add(FieldType::Business2Tel, u"2");
    add(FieldType::Home2Tel, u"4");
    // Numbers a reader would take for URIs go out as tel: URIs of themselves.
    add(FieldType::CarTel, u"sip:x;ext=1%41");
    add(FieldType::RadioTel, u"6");
    add(FieldType::CompanyMainTel, u"TEL:+1");
    add(FieldType::AssistantTel, u"8");
    add(FieldType::Email2, u"b@x");
    add(FieldType::Email3, u"c@x");
    add(FieldType::AssistantName, u"Igor");
    add(FieldType::HomeFax, u"9");
    add(FieldType::Birthday, u"327753000123"); // with a time of day
    add(FieldType(31), u"Region only");
    const std::string text = write_vcard(r);
    for (std::size_t at = 0, next; at < text.size(); at = next + 2) {
        next = text.find("\r\n", at);
        ASSERT_NE(next, std::string::npos);
        EXPECT_LE(next - at, 75u) << "folded at 75 octets";
    }
    EXPECT_TRUE(same(only_card(text).record, r));
    ContactRecord year_less;
    year_less.first_name = u"B";
    year_less.fields.emplace_back(FieldType::Birthday, u"-11537683200000");
    const std::string written = write_vcard(year_less);
    EXPECT_NE(written.find("BDAY:--0521\r\n"), std::string::npos) << written;
    EXPECT_EQ(only_card(written).record.fields, year_less.fields);
}
