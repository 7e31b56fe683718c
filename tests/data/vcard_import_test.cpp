// Cards as phones and programs really write them: lines that are not
// properties, every kind of line end, any charset, numbers in every slot,
// nested cards, long ORGs, tel: URIs and zoned birthdays; and each of them
// written back and read again unchanged.
#include "data/vcard.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace telvara;
using namespace telvara::data;

namespace {

WString value(const ContactRecord& r, FieldType type) {
    const ContactField* f = r.field(type);
    return f != nullptr ? f->value : WString(u"<none>");
}

std::string card(std::string_view body, std::string_view version = "2.1") {
    return "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n" + std::string(body) +
           "END:VCARD\r\n";
}

bool has_replacement_character(const ContactRecord& r) {
    auto bad = [](const WString& text) { return text.find(u'\uFFFD') != WString::npos; };
    return bad(r.first_name) || bad(r.last_name) || bad(r.company) ||
           std::any_of(r.fields.begin(), r.fields.end(), [&](auto& f) { return bad(f.value); });
}

} // namespace

TEST(VCardImport, LinesThatAreNotPropertiesCostOnlyThemselves) {
    struct Row {
        const char* name;
        const char* line;
    };
    const Row rows[] = {
        {"stray comment", "# exported by a phone\r\n"},
        {"bare name", "FN\r\n"},
        {"bad character in the name", "N@ME:x\r\n"},
        {"unclosed quote", "X-A;TYPE=\"home:1\r\n"},
        {"bad quoted-printable", "ORG;ENCODING=QUOTED-PRINTABLE:=ZZ\r\n"},
    };
    for (const Row& row : rows) {
        const VCardFile file = parse_vcards(
            card("N:Roe;Jane\r\n" + std::string(row.line) + "TEL;CELL:+1 555 0100\r\n"));
        ASSERT_EQ(file.contacts.size(), 1u) << row.name;
        EXPECT_EQ(value(file.contacts[0].record, FieldType::Mobile), u"+1 555 0100") << row.name;
        ASSERT_EQ(file.problems.size(), 1u) << row.name;
        EXPECT_EQ(file.problems[0].line, 4u) << row.name;
        EXPECT_EQ(file.skipped_cards, 0u) << row.name;
    }
    // A 2.1 value that goes on after a backslash takes the next line.
    const VCardFile address =
        parse_vcards(card("N:Roe;Jane\r\nADR;HOME:;;1 Main St\\\r\nFlat 2;Leeds;;;\r\n"));
    ASSERT_EQ(address.contacts.size(), 1u);
    EXPECT_TRUE(address.problems.empty());
    EXPECT_EQ(value(address.contacts[0].record, FieldType::HomeAddress1), u"1 Main St\nFlat 2");
    EXPECT_EQ(value(address.contacts[0].record, FieldType(30)), u"Leeds");
}

TEST(VCardImport, EveryLineEndWithFoldedLines) {
    const std::pair<const char*, const char*> ends[] = {
        {"CR LF", "\r\n"}, {"LF", "\n"}, {"CR", "\r"}, {"CR CR LF", "\r\r\n"}};
    for (auto [name, end] : ends) {
        std::string text;
        for (const char* line : {"BEGIN:VCARD", "VERSION:3.0", "N:Lo", " ng;Ja", " ne;;;",
                                 "TEL;TYPE=CELL:+1", "  555", "no colon here", "END:VCARD"})
            text += std::string(line) + end;
        const VCardFile file = parse_vcards(text);
        ASSERT_EQ(file.contacts.size(), 1u) << name;
        EXPECT_EQ(file.contacts[0].record.last_name, u"Long") << name;
        EXPECT_EQ(file.contacts[0].record.first_name, u"Jane") << name;
        EXPECT_EQ(value(file.contacts[0].record, FieldType::Mobile), u"+1 555") << name;
        ASSERT_EQ(file.problems.size(), 1u) << name;
        EXPECT_EQ(file.problems[0].line, 8u) << name << ": physical lines are counted";
    }
    const VCardFile mixed = parse_vcards("BEGIN:VCARD\r\nN:A;B\nX\rTEL:1\r\r\nEND:VCARD\n");
    ASSERT_EQ(mixed.problems.size(), 1u);
    EXPECT_EQ(mixed.problems[0].line, 3u);
}

TEST(VCardImport, TextInAnyCharsetTheCardNames) {
    const std::pair<const char*, const char16_t*> rows[] = {
        {"SHIFT_JIS:\x8E\x52\x93\x63", u"山田"},
        {"GB18030:\xCD\xF5\xB7\xBC", u"王芳"},
        {"GBK:\xC0\xEE\xC4\xC8", u"李娜"},
        {"BIG5:\xB3\xAF\xAC\xFC", u"陳美"},
        {"EUC-KR:\xB1\xE8\xB9\xCE", u"김민"},
        {"KOI8-U:\xB7\xD6\xC1\xCB", u"Їжак"},
        {"ISO-8859-5:\xB6\xE3\xDA", u"Жук"},
        {"windows-1250:\xA3\xF3\x64\x9F", u"Łódź"},
        {"UTF-16LE;ENCODING=QUOTED-PRINTABLE:=A9=03m=00e=00g=00a=00", u"Ωmega"},
    };
    for (auto [line, name] : rows) {
        const VCardFile file = parse_vcards(card("N;CHARSET=" + std::string(line) + "\r\n"));
        ASSERT_EQ(file.contacts.size(), 1u) << line;
        EXPECT_EQ(file.contacts[0].record.last_name, name) << line;
        EXPECT_TRUE(file.problems.empty()) << line;
    }
    // A whole file in UTF-16 with its byte order mark.
    std::string utf16 = "\xFF\xFE";
    for (char c : card("FN:Ann\r\n", "3.0"))
        utf16 += std::string{c, '\0'};
    const VCardFile wide = parse_vcards(utf16);
    ASSERT_EQ(wide.contacts.size(), 1u);
    EXPECT_EQ(wide.contacts[0].record.first_name, u"Ann");
}

TEST(VCardImport, TextThatCannotBeDecodedKeepsItsBytes) {
    const char* rows[] = {
        "N;CHARSET=X-MADE-UP:\xC0\xE1\r\n", // a charset iconv does not know
        "N;CHARSET=UTF-8:\xC0\xE1\r\n",     // not UTF-8 after all
        "N;CHARSET=SHIFT_JIS:\x81\xFF\r\n", // no such Shift_JIS character
    };
    for (const char* line : rows) {
        const VCardFile file = parse_vcards(card(line));
        ASSERT_EQ(file.contacts.size(), 1u) << line;
        const ContactRecord& r = file.contacts[0].record;
        EXPECT_FALSE(has_replacement_character(r)) << line;
        ASSERT_EQ(r.last_name.size(), 2u) << line;
        EXPECT_EQ(file.problems.size(), 1u) << line << ": the import is told";
    }
    // Each character stands for its byte: decodable once the charset is known.
    const VCardFile file = parse_vcards(card("N;CHARSET=X-MADE-UP:\xC0\xE1\r\n"));
    EXPECT_EQ(file.contacts[0].record.last_name, WString(u"\u00C0\u00E1"));
    EXPECT_TRUE(charset_supported("Shift_JIS"));
    EXPECT_TRUE(charset_supported("cp1251"));
    EXPECT_FALSE(charset_supported("X-MADE-UP"));
}

TEST(VCardImport, EveryNumberFindsAFreeSlot) {
    struct Row {
        const char* name;
        const char* lines;
        std::vector<std::pair<FieldType, const char16_t*>> want;
    };
    const Row rows[] = {
        {"untyped before CELL",
         "TEL:1\r\nTEL;VOICE:2\r\nTEL;CELL:3\r\n",
         {{FieldType::Mobile, u"3"}, {FieldType::HomeTel, u"1"}, {FieldType::BusinessTel, u"2"}}},
        {"OTHER and FAX is a fax",
         "TEL;TYPE=OTHER;TYPE=FAX:9\r\n",
         {{FieldType::BusinessFax, u"9"}}},
        {"third WORK number",
         "TEL;WORK:1\r\nTEL;WORK:2\r\nTEL;WORK:3\r\nTEL;CELL:4\r\n",
         {{FieldType::Mobile, u"4"},
          {FieldType::BusinessTel, u"1"},
          {FieldType::Business2Tel, u"2"},
          {FieldType::HomeTel, u"3"}}},
    };
    for (const Row& row : rows) {
        const VCardFile file = parse_vcards(card(std::string("FN:A\r\n") + row.lines));
        ASSERT_EQ(file.contacts.size(), 1u) << row.name;
        for (auto [type, number] : row.want)
            EXPECT_EQ(value(file.contacts[0].record, type), number) << row.name;
        EXPECT_EQ(file.numbers_left_out, 0u) << row.name;
    }
    // Twelve untyped numbers fill all twelve phone slots; the thirteenth has none.
    std::string many = "FN:A\r\n";
    for (int i = 1; i <= 13; ++i)
        many += "TEL:" + std::to_string(i) + "\r\n";
    const VCardFile full = parse_vcards(card(many));
    ASSERT_EQ(full.contacts.size(), 1u);
    EXPECT_EQ(full.contacts[0].record.fields.size(), 12u);
    EXPECT_EQ(value(full.contacts[0].record, FieldType::HomeFax), u"12");
    EXPECT_EQ(full.numbers_left_out, 1u);
}

TEST(VCardImport, MoreShapesOfCards) {
    // A 2.1 AGENT card on the lines after "AGENT:", and a 3.0 one in the value.
    const VCardFile agents = parse_vcards(
        card("N:Boss;Big\r\nAGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN:Aide;Amy\r\nTEL:2\r\n"
             "END:VCARD\r\nTEL:1\r\n") +
        card("FN:Chief\r\nAGENT:BEGIN:VCARD\\nVERSION:3.0\\nFN:Susan\\nTEL:3\\nEND:VCARD\r\n",
             "3.0"));
    std::vector<WString> names;
    for (const auto& c : agents.contacts)
        names.push_back(c.record.first_name + u"/" + value(c.record, FieldType::Mobile));
    EXPECT_EQ(names, (std::vector<WString>{u"Amy/2", u"Big/1", u"Susan/3", u"Chief/<none>"}));
    EXPECT_TRUE(agents.problems.empty());

    const VCardFile shapes = parse_vcards(
        card("FN:A\r\nORG:Acme;Sales;EMEA;North\r\n"
             "TEL;VALUE=uri;TYPE=work:tel:+1-555-0100;ext=102;phone-context=example.com\r\n"
             "TEL;VALUE=uri:sip:alice@example.com\r\nIMPP:xmpp:alice@example.com\r\n"
             "BDAY:1987-09-27T20:30:00-06:00\r\n",
             "4.0"));
    ASSERT_EQ(shapes.contacts.size(), 1u);
    const ContactRecord& r = shapes.contacts[0].record;
    EXPECT_EQ(r.company, u"Acme");
    EXPECT_EQ(value(r, FieldType::Department), u"Sales, EMEA, North");
    EXPECT_EQ(value(r, FieldType::BusinessTel), u"+1-555-0100,102");
    EXPECT_EQ(value(r, FieldType::Mobile), u"<none>") << "sip: is no phone number";
    EXPECT_EQ(value(r, FieldType::Birthday), u"559773000000"); // 1987-09-27 20:30
    ASSERT_EQ(shapes.problems.size(), 1u);
    EXPECT_NE(shapes.problems[0].message.find("not a phone number"), std::string::npos);
}

TEST(VCardImport, EveryShapeWrittenBackReadsTheSame) {
    const std::string cards =
        card("N:Roe;Jane\r\nFN\r\nTEL:1\r\nTEL;CELL:3\r\nTEL;TYPE=OTHER;TYPE=FAX:9\r\n"
             "ORG:Acme;Sales;EMEA\r\nADR;HOME:;;1 Main St\\\r\nFlat 2;Leeds;;;\r\n") +
        card("N;CHARSET=SHIFT_JIS:\x8E\x52\x93\x63\r\nTEL;WORK:1\r\nTEL;WORK:2\r\nTEL;WORK:3\r\n"
             "TEL;CAR:4\r\nTEL;PAGER:5\r\nTEL:6\r\nTEL:7\r\nTEL:8\r\nTEL:9\r\nTEL:10\r\n") +
        card("FN:A\r\nTEL;VALUE=uri:tel:+1-555-0100;ext=102\r\nBDAY:1987-09-27T20:30:00-06:00\r\n",
             "4.0");
    const VCardFile first = parse_vcards(cards);
    ASSERT_EQ(first.contacts.size(), 3u);
    for (const auto& contact : first.contacts) {
        const VCardFile again = parse_vcards(write_vcard(contact.record));
        ASSERT_EQ(again.contacts.size(), 1u);
        EXPECT_TRUE(again.problems.empty());
        const ContactRecord& back = again.contacts[0].record;
        EXPECT_EQ(back.first_name, contact.record.first_name);
        EXPECT_EQ(back.last_name, contact.record.last_name);
        EXPECT_EQ(back.company, contact.record.company);
        EXPECT_EQ(back.fields, contact.record.fields) << to_utf8(contact.record.last_name);
    }
}

// Damaged or hostile content: bytes that are not the UTF-8 the card
// promises, control characters in a number, a card with far too many
// categories. Each is reported with its line and its card's line; the rest
// of the card stays.
TEST(VCardImport, DamagedContentIsReportedWithItsCardsLine) {
    struct Row {
        const char* name;
        std::string cards;
        std::string problem; // the one problem's text
        FieldType kept;      // a field that is still there
    };
    const std::string two = card("FN:First\r\n", "3.0");
    const Row rows[] = {
        {"UTF-8 named, other bytes", two + card("N;CHARSET=UTF-8:Bad\xFF;Ann\r\nTEL:1\r\n"),
         "line 7 (card at line 5): N is not UTF-8 text: kept byte for byte", FieldType::Mobile},
        {"a 4.0 card is UTF-8", two + card("FN:Z\xE9ro\r\nTEL:1\r\n", "4.0"),
         "line 7 (card at line 5): FN is not UTF-8 text, as a vCard 4.0 must be: read as "
         "WINDOWS-1252",
         FieldType::Mobile},
        {"escape sequence in a number",
         two + card("FN:Eve\r\nTEL:+1 555\x1B[31m 0100\r\nTEL;WORK:2\r\n", "3.0"),
         "line 8 (card at line 5): \"+1 555\\x1B[31m 0100\" has control characters: not taken "
         "as a number",
         FieldType::BusinessTel},
        {"NUL in a number",
         two + card(std::string("FN:Eve\r\nTEL:12\0"
                                "3\r\nTEL;WORK:2\r\n",
                                30),
                    "3.0"),
         "line 8 (card at line 5): \"12\\x003\" has control characters: not taken as a number",
         FieldType::BusinessTel},
    };
    for (const Row& row : rows) {
        const VCardFile file = parse_vcards(row.cards);
        ASSERT_EQ(file.contacts.size(), 2u) << row.name;
        ASSERT_EQ(file.problems.size(), 1u) << row.name << ": " << file.problems[0].text();
        EXPECT_EQ(file.problems[0].text(), row.problem) << row.name;
        EXPECT_NE(file.contacts[1].record.field(row.kept), nullptr) << row.name;
        for (const ContactField& f : file.contacts[1].record.fields)
            EXPECT_TRUE(std::none_of(f.value.begin(), f.value.end(), [](char16_t c) {
                return c < 0x20 && c != u'\n';
            })) << row.name;
    }

    // Categories beyond the bound are left out, with one note.
    std::string names = "CATEGORIES:";
    for (std::size_t i = 0; i < kMaxCardCategories + 44; ++i)
        names += (i == 0 ? "c" : ",c") + std::to_string(i);
    const VCardFile many = parse_vcards(card("FN:Many\r\n" + names + "\r\n", "3.0"));
    ASSERT_EQ(many.contacts.size(), 1u);
    const WString kept = value(many.contacts[0].record, FieldType::Categories);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), u','), std::ptrdiff_t(kMaxCardCategories) - 1);
    ASSERT_EQ(many.problems.size(), 1u);
    EXPECT_EQ(many.problems[0].text(),
              "line 4 (card at line 1): more than 256 categories: 44 left out");
}
