#pragma once
// vCard files: cards of versions 2.1, 3.0 and 4.0, as phones and address
// books export them, read into contact records with their photos; contact
// records written back as vCard 3.0 that read in again to the same records.
//
// How card properties land in the record:
//   N          last name; first name; middle name; (prefix dropped); suffix
//   FN         the first name when the card has no N, unless it only repeats
//              the company (a company card: ORG without N)
//   ORG        company; department (further units join it, ", " between)
//   TITLE      job title                   NICKNAME  nick name
//   URL        web page (the first)
//   EMAIL      Email1..Email3 in card order; more are dropped with a note
//   TEL        pinned numbers (X-TELVARA-FIELD) first, then typed numbers in
//              their own slots: CELL -> Mobile, RadioTel; WORK ->
//              BusinessTel, Business2Tel; HOME -> HomeTel, Home2Tel; CAR;
//              PAGER; FAX -> BusinessFax, or HomeFax when HOME without WORK;
//              MAIN/COMPANY -> CompanyMainTel; X-ASSISTANT -> AssistantTel.
//              Then the rest (untyped, VOICE, OTHER, and typed ones whose
//              slots are taken) in card order into the first free of Mobile,
//              HomeTel, BusinessTel, Home2Tel, Business2Tel, RadioTel, CarTel,
//              CompanyMainTel, AssistantTel, PagerNumber, BusinessFax, HomeFax.
//              Only a number finding every slot taken is left out (counted).
//              "tel:" URIs keep the number and an extension after a pause
//              (",102"); other URIs (sip:, xmpp:) are not numbers.
//   ADR        street (PO box and extended part before it), city, region,
//              postal code, country; WORK -> work address, HOME or untyped
//              -> home address (work when home is taken)
//   BDAY       19800521, 1980-05-21, optional time "T103000" (a zone is left
//              out, so the date stays the card's); without a year (--0521,
//              --05-21) the year 1604 stands for "unknown" and is written
//              back as --MMDD
//   CATEGORIES names split at "," (and ";", as the store splits them),
//              stored as "a, b"; at most kMaxCardCategories a card (the
//              rest are left out with a note)
//   PHOTO      base64 (ENCODING=b / BASE64) or a data: URI; JPEG and PNG
//              only, kept as the card had them; http and other URIs are not
//              fetched (a note says so)
//   AGENT      a card inside (2.1 on the following lines, 3.0 in the value)
//              is a contact of its own
//   X-ASSISTANT (or X-EVOLUTION-ASSISTANT) assistant name
// Text may be quoted-printable and in any charset iconv knows (CHARSET=);
// text naming none is UTF-8 when valid, else in the fallback charset. Bytes
// that are not text in their charset are kept one character per byte (so
// they can be decoded later), never as U+FFFD, with a note. Files in UTF-16
// are read too. Lines may end in CR LF, LF, CR or CR CR LF.
//
// A line that is not a property is skipped with a note (a 2.1 value ending
// in a backslash takes the next line instead); its card is kept. A card
// without END:VCARD ends at the next BEGIN:VCARD or the end of the file,
// with a note. Only a card holding nothing at all is skipped. Every problem
// names its physical line.

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
    std::size_t cards = 0; // every card found, nested ones too
    std::size_t skipped_cards = 0;
    std::size_t numbers_left_out = 0; // numbers that found every phone slot taken
};

struct VCardOptions {
    // The iconv name of the charset of text that names none and is not
    // valid UTF-8.
    std::string fallback = "WINDOWS-1252";
};

VCardFile parse_vcards(std::string_view text, const VCardOptions& options = {});

// One card, vCard 3.0, UTF-8, CRLF line ends, folded at 75 octets. `photo`
// must be JPEG or PNG bytes to be written; anything else is left out.
std::string write_vcard(const ContactRecord& record, std::span<const std::byte> photo = {});

// Whether iconv can decode text in this charset ("Shift_JIS", "cp1251", ...).
bool charset_supported(std::string_view name);

// The most categories one card brings; a card with more is damaged or
// hostile (each name becomes an entry of the category menus).
inline constexpr std::size_t kMaxCardCategories = 256;

// Base year that stands for a birthday without a year.
inline constexpr int kBirthdayNoYear = 1604;

} // namespace telvara::data
