#pragma once
// vCard files: cards of versions 2.1, 3.0 and 4.0, as phones and address
// books export them, read into contact records with their photos; contact
// records written back as vCard 3.0 that read in again to the same records.
//
// How card properties land in the record:
//   N          last name; first name; middle name; (prefix dropped); suffix
//   FN         the first name when the card has no N, unless it only repeats
//              the company (a company card: ORG without N)
//   ORG        company; department          TITLE  job title
//   NICKNAME   nick name                    URL    web page (the first)
//   EMAIL      Email1..Email3 in card order; more are dropped with a note
//   TEL        by TYPE: CELL -> Mobile (then RadioTel); WORK -> BusinessTel,
//              then Business2Tel; HOME -> HomeTel, then Home2Tel; CAR;
//              PAGER; FAX -> BusinessFax, or HomeFax when HOME without WORK;
//              MAIN/COMPANY -> CompanyMainTel; X-ASSISTANT -> AssistantTel;
//              untyped or VOICE -> the first free of Mobile, HomeTel,
//              BusinessTel, Home2Tel, Business2Tel, RadioTel. A number whose
//              slots are taken goes to that untyped list; with none free it is
//              dropped with a note.
//   ADR        street (PO box and extended part before it), city, region,
//              postal code, country; WORK -> work address, HOME or untyped
//              -> home address (work when home is taken)
//   BDAY       19800521, 1980-05-21, optional time "T103000Z"; without a
//              year (--0521, --05-21) the year 1604 stands for "unknown" and
//              is written back as --MMDD
//   CATEGORIES names split at "," (and ";", as the store splits them),
//              stored as "a, b"
//   PHOTO      base64 (ENCODING=b / BASE64) or a data: URI; JPEG and PNG
//              only, kept as the card had them; http and other URIs are not
//              fetched (a note says so)
//   X-ASSISTANT (or X-EVOLUTION-ASSISTANT) assistant name
// Text may be quoted-printable and in UTF-8, windows-1251, windows-1252,
// ISO-8859-1, KOI8-R or US-ASCII (CHARSET=). Everything else is ignored.
//
// A card that cannot be read (a line without ':', a bad property name, bad
// quoted-printable, no END:VCARD) is skipped and reported with its line; the
// rest of the file is read.

#include "data/contact_store.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace telvara::data {

struct VCardProblem {
    enum class Severity { skipped_card, note };
    Severity severity = Severity::note;
    std::size_t line = 0;      // 1-based line the problem was found on
    std::size_t card_line = 0; // line of the card's BEGIN:VCARD, 0 outside a card
    std::string message;

    // "line 12: card at line 10 skipped: ..." / "line 40: ..."
    std::string text() const;
};

struct VCardFile {
    // Records with oid 0 and fields in type order; photos as image bytes.
    std::vector<ContactWithPhoto> contacts;
    std::vector<std::size_t> card_lines; // BEGIN:VCARD line of each contact
    std::vector<VCardProblem> problems;
    std::size_t skipped_cards = 0;
};

enum class Charset { utf8, windows1251, windows1252, latin1, koi8r, ascii };

struct VCardOptions {
    // For text that has no CHARSET and is not valid UTF-8.
    Charset fallback = Charset::windows1252;
};

VCardFile parse_vcards(std::string_view text, const VCardOptions& options = {});

// One card, vCard 3.0, UTF-8, CRLF line ends, folded at 75 octets. `photo`
// must be JPEG or PNG bytes to be written; anything else is left out.
std::string write_vcard(const ContactRecord& record, std::span<const std::byte> photo = {});

// "utf-8", "windows-1251", "cp1251", "koi8-r", ... (case-insensitive); false
// when unknown.
bool charset_from_name(std::string_view name, Charset& out);

// Base year that stands for a birthday without a year.
inline constexpr int kBirthdayNoYear = 1604;

} // namespace telvara::data
