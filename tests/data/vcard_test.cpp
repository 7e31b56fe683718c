// vCard reading and writing: 2.1 quoted-printable and charsets, folding,
// grouped and typed numbers, addresses, birthdays, photos, the 3.0 / 4.0
// differences, broken cards, and records surviving write + read.
#include "data/contact_photo.h"
#include "data/test_contacts.h"
#include "data/vcard.h"

#include <gtest/gtest.h>

using namespace telvara;
using namespace telvara::data;

namespace {

WString value(const ContactRecord& r, FieldType type) {
    const ContactField* f = r.field(type);
    return f != nullptr ? f->value : WString(u"<none>");
}

ContactWithPhoto only_card(std::string_view text) {
    VCardFile file = parse_vcards(text);
    EXPECT_EQ(file.contacts.size(), 1u);
    for (const auto& p : file.problems)
        ADD_FAILURE() << p.text();
    return file.contacts.empty() ? ContactWithPhoto{} : file.contacts[0];
}

std::string card(std::string_view version, std::string_view body) {
    return "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n" + std::string(body) +
           "END:VCARD\r\n";
}

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

} // namespace

TEST(VCardRead, Version21QuotedPrintableInUtf8AndWindows1251) {
    // "Иван Петров" in UTF-8, split by a soft line break.
    auto utf8 =
        only_card(card("2.1", "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=D0=9F=D0=B5=D1=82="
                              "\r\n=D1=80=D0=BE=D0=B2;=D0=98=D0=B2=D0=B0=D0=BD;;;\r\n"
                              "TEL;CELL;VOICE:+7 912 345-67-89\r\n"));
    EXPECT_EQ(utf8.record.last_name, u"Петров");
    EXPECT_EQ(utf8.record.first_name, u"Иван");
    EXPECT_EQ(value(utf8.record, FieldType::Mobile), u"+7 912 345-67-89");

    // The same in windows-1251, and a note with an encoded line break.
    auto cp1251 = only_card(card("2.1", "N;CHARSET=windows-1251;ENCODING=QUOTED-PRINTABLE:"
                                        "=CF=E5=F2=F0=EE=E2;=C8=E2=E0=ED\r\n"
                                        "ORG;CHARSET=WINDOWS-1251:\xCF\xEE\xF7\xF2\xE0\r\n"
                                        "ADR;HOME;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;"
                                        "=D1=83=D0=BB. 1=0D=0A=D0=BA=D0=B2. 2;\r\n"));
    EXPECT_EQ(cp1251.record.last_name, u"Петров");
    EXPECT_EQ(cp1251.record.first_name, u"Иван");
    EXPECT_EQ(cp1251.record.company, u"Почта");
    EXPECT_EQ(value(cp1251.record, FieldType::HomeAddress1), u"ул. 1\nкв. 2");

    // 8-bit text naming no charset: UTF-8 when valid, else the fallback.
    VCardOptions koi;
    ASSERT_TRUE(charset_supported("KOI8-R"));
    koi.fallback = "KOI8-R";
    auto file = parse_vcards(card("2.1", "N:\xE9\xD7\xC1\xCE\r\n"), koi);
    ASSERT_EQ(file.contacts.size(), 1u);
    EXPECT_EQ(file.contacts[0].record.last_name, u"Иван");
}

TEST(VCardRead, FoldedLinesAndLineEnds) {
    auto c = only_card("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lo\r\n ng;Na\r\n\tme;;;\r\n"
                       "NOTE:ignored\r\nTITLE:Chief \r\n  Engineer\nEND:VCARD");
    EXPECT_EQ(c.record.last_name, u"Long");
    EXPECT_EQ(c.record.first_name, u"Name");
    // One blank of the fold goes, the second is the text's own.
    EXPECT_EQ(value(c.record, FieldType::JobTitle), u"Chief  Engineer");
}

TEST(VCardRead, NumbersByTypeAndGroup) {
    auto c = only_card(card("3.0", "N:Doe;Jane;;;\r\n"
                                   "item1.TEL;type=CELL:1\r\n"
                                   "item1.X-ABLabel:mobile\r\n"
                                   "TEL;TYPE=WORK:2\r\nTEL;TYPE=WORK,VOICE:3\r\n"
                                   "TEL;TYPE=HOME:4\r\nTEL;TYPE=HOME:5\r\n"
                                   "TEL;TYPE=CAR:6\r\nTEL;TYPE=PAGER:7\r\n"
                                   "TEL;TYPE=WORK;TYPE=FAX:8\r\nTEL;TYPE=HOME,FAX:9\r\n"
                                   "TEL;TYPE=MAIN:10\r\nTEL;TYPE=CELL:11\r\n"));
    const auto& r = c.record;
    EXPECT_EQ(value(r, FieldType::Mobile), u"1");
    EXPECT_EQ(value(r, FieldType::BusinessTel), u"2");
    EXPECT_EQ(value(r, FieldType::Business2Tel), u"3");
    EXPECT_EQ(value(r, FieldType::HomeTel), u"4");
    EXPECT_EQ(value(r, FieldType::Home2Tel), u"5");
    EXPECT_EQ(value(r, FieldType::CarTel), u"6");
    EXPECT_EQ(value(r, FieldType::PagerNumber), u"7");
    EXPECT_EQ(value(r, FieldType::BusinessFax), u"8");
    EXPECT_EQ(value(r, FieldType::HomeFax), u"9");
    EXPECT_EQ(value(r, FieldType::CompanyMainTel), u"10");
    EXPECT_EQ(value(r, FieldType::RadioTel), u"11"); // the second mobile
    // Seven numbers fit: untyped ones go on to CarTel once the voice slots are taken.
    auto file = parse_vcards(card("3.0", "N:Doe;Jane;;;\r\nTEL;TYPE=CELL:1\r\nTEL:2\r\nTEL:3\r\n"
                                         "TEL:4\r\nTEL:5\r\nTEL:6\r\nTEL:7\r\n"));
    ASSERT_EQ(file.contacts.size(), 1u);
    EXPECT_TRUE(file.problems.empty());
    EXPECT_EQ(value(file.contacts[0].record, FieldType::CarTel), u"7");
    // Fields come in the store's order.
    const auto& fields = file.contacts[0].record.fields;
    EXPECT_TRUE(std::is_sorted(fields.begin(), fields.end(),
                               [](auto& a, auto& b) { return a.type < b.type; }));
}

TEST(VCardRead, Version30And40Differences) {
    auto v3 = only_card(card("3.0", "FN:A B\r\nN:B;A;;;\r\nTEL;TYPE=cell:+1 555\r\n"));
    EXPECT_EQ(value(v3.record, FieldType::Mobile), u"+1 555");
    auto file = parse_vcards(card("4.0", "FN:A B\r\nN:B;A;;;\r\n"
                                         "TEL;VALUE=uri;TYPE=\"cell,voice\";PREF=1:tel:+1-555\r\n"
                                         "TEL;VALUE=uri;TYPE=\"work,voice\":tel:+1-666\r\n"
                                         "PHOTO:http://example.com/a.jpg\r\n"));
    ASSERT_EQ(file.contacts.size(), 1u);
    EXPECT_EQ(value(file.contacts[0].record, FieldType::Mobile), u"+1-555");
    EXPECT_EQ(value(file.contacts[0].record, FieldType::BusinessTel), u"+1-666");
    ASSERT_EQ(file.problems.size(), 1u);
    EXPECT_EQ(file.problems[0].text(),
              "line 7 (card at line 1): photo at \"http://example.com/a.jpg\" not fetched");
    EXPECT_TRUE(file.contacts[0].photo.empty());
}

TEST(VCardRead, AddressesBirthdaysAndOtherFields) {
    VCardFile file = parse_vcards(
        card("3.0", "N:Smith;John;Q;Dr.;Jr.\r\nNICKNAME:Johnny\r\nTITLE:Boss\r\n"
                    "ORG:Acme\\, Inc.;Sales\r\nURL:https://acme.example/\r\n"
                    "EMAIL;TYPE=INTERNET:a@x\r\nEMAIL:b@x\r\nEMAIL:c@x\r\nEMAIL:d@x\r\n"
                    "ADR;TYPE=WORK:PO 5;Suite 2;1 Main St;Springfield;IL;62701;USA\r\n"
                    "ADR;TYPE=HOME:;;2 Elm\\nBack door;Shelbyville;;;\r\n"
                    "BDAY:1980-05-21\r\nCATEGORIES:Work, Friends;Golf,,Work\r\n"));
    ASSERT_EQ(file.contacts.size(), 1u);
    ASSERT_EQ(file.problems.size(), 1u);
    EXPECT_EQ(file.problems[0].text(),
              "line 11 (card at line 1): more than three e-mail addresses: d@x left out");
    const auto& r = file.contacts[0].record;
    EXPECT_EQ(r.company, u"Acme, Inc.");
    EXPECT_EQ(value(r, FieldType::Department), u"Sales");
    EXPECT_EQ(value(r, FieldType::MiddleName), u"Q");
    EXPECT_EQ(value(r, FieldType::Suffix), u"Jr.");
    EXPECT_EQ(value(r, FieldType::NickName), u"Johnny");
    EXPECT_EQ(value(r, FieldType::JobTitle), u"Boss");
    EXPECT_EQ(value(r, FieldType::WebPage), u"https://acme.example/");
    EXPECT_EQ(value(r, FieldType::Email3), u"c@x");
    EXPECT_EQ(value(r, FieldType::WorkAddress1), u"PO 5, Suite 2, 1 Main St");
    EXPECT_EQ(value(r, FieldType(25)), u"Springfield");
    EXPECT_EQ(value(r, FieldType(26)), u"IL");    // region
    EXPECT_EQ(value(r, FieldType(27)), u"62701"); // postal code
    EXPECT_EQ(value(r, FieldType::WorkAddress5), u"USA");
    EXPECT_EQ(value(r, FieldType::HomeAddress1), u"2 Elm\nBack door");
    EXPECT_EQ(value(r, FieldType(31)), u"<none>");
    EXPECT_EQ(value(r, FieldType::Birthday), u"327715200000");
    EXPECT_EQ(value(r, FieldType::Categories), u"Work, Friends, Golf, Work");

    const std::pair<const char*, const char16_t*> birthdays[] = {
        {"19800521", u"327715200000"},
        {"1980-05-21T10:30:00Z", u"327753000000"},
        {"19800521T103000+0100", u"327753000000"}, // the zone left out
        {"--0521", u"-11537683200000"},            // 1604-05-21: the year unknown
        {"--05-21", u"-11537683200000"},
    };
    for (auto [text, ms] : birthdays) {
        auto b = only_card(card("4.0", std::string("FN:X\r\nBDAY:") + text + "\r\n"));
        EXPECT_EQ(value(b.record, FieldType::Birthday), ms) << text;
    }
    for (const char* bad : {"1980-13-01", "1980-02-30", "1500-01-01", "May 21"}) {
        auto file = parse_vcards(card("3.0", std::string("FN:X\r\nBDAY:") + bad + "\r\n"));
        ASSERT_EQ(file.contacts.size(), 1u) << bad;
        EXPECT_EQ(file.contacts[0].record.field(FieldType::Birthday), nullptr) << bad;
        ASSERT_EQ(file.problems.size(), 1u) << bad;
    }
}

TEST(VCardRead, CompanyCardsAndNames) {
    auto company = only_card(card("3.0", "N:;;;;\r\nFN:Acme\r\nORG:Acme\r\nTEL:1\r\n"));
    EXPECT_TRUE(company.record.first_name.empty());
    EXPECT_TRUE(company.record.last_name.empty());
    EXPECT_EQ(company.record.company, u"Acme");
    auto org_kind = only_card(card("4.0", "KIND:org\r\nFN:Shop\r\n"));
    EXPECT_EQ(org_kind.record.company, u"Shop");
    EXPECT_TRUE(org_kind.record.first_name.empty());
    auto fn_only = only_card(card("4.0", "FN:Jane Roe\r\nORG:Acme\r\n"));
    EXPECT_EQ(fn_only.record.first_name, u"Jane Roe");
    EXPECT_EQ(fn_only.record.company, u"Acme");
}

TEST(VCardRead, Photos) {
    const auto png = small_png();
    const std::string b64 = base64(png);
    ASSERT_FALSE(b64.empty());
    // vCard 2.1: folded base64 ending with an empty line.
    std::string folded;
    for (std::size_t i = 0; i < b64.size(); i += 20)
        folded += "  " + b64.substr(i, 20) + "\r\n";
    auto v21 = only_card(
        card("2.1", "N:A;B\r\nPHOTO;ENCODING=BASE64;TYPE=PNG:\r\n" + folded + "\r\nTEL:1\r\n"));
    EXPECT_EQ(v21.photo, png);
    EXPECT_EQ(value(v21.record, FieldType::Mobile), u"1");
    auto v4 = only_card(card("4.0", "FN:A\r\nPHOTO:data:image/png;base64," + b64 + "\r\n"));
    EXPECT_EQ(v4.photo, png);
    // Not an image we can show: left out with a note, the card kept.
    auto gif = parse_vcards(card("3.0", "FN:A\r\nPHOTO;ENCODING=b;TYPE=GIF:R0lGODlh\r\n"));
    ASSERT_EQ(gif.contacts.size(), 1u);
    EXPECT_TRUE(gif.contacts[0].photo.empty());
    ASSERT_EQ(gif.problems.size(), 1u);
    EXPECT_NE(gif.problems[0].message.find("neither JPEG nor PNG"), std::string::npos);
}

TEST(VCardRead, OnlyEmptyCardsAreSkipped) {
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
        EXPECT_EQ(file.contacts[i].record.first_name, originals[i].record.first_name) << i;
        EXPECT_EQ(file.contacts[i].record.last_name, originals[i].record.last_name) << i;
        EXPECT_EQ(file.contacts[i].record.company, originals[i].record.company) << i;
        EXPECT_EQ(file.contacts[i].record.fields, originals[i].record.fields) << i;
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
    add(FieldType::RadioTel, u"6");
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
    auto back = only_card(text);
    EXPECT_EQ(back.record.first_name, r.first_name);
    EXPECT_EQ(back.record.company, r.company);
    EXPECT_EQ(back.record.fields, r.fields);

    ContactRecord year_less;
    year_less.first_name = u"B";
    year_less.fields.emplace_back(FieldType::Birthday, u"-11537683200000");
    const std::string written = write_vcard(year_less);
    EXPECT_NE(written.find("BDAY:--0521\r\n"), std::string::npos) << written;
    EXPECT_EQ(only_card(written).record.fields, year_less.fields);
}
