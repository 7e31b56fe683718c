// The 4096-entry weight table, built once from the rules below. Fixed
// points other code relies on: "0" 1, "9" 82, space 2032, "A" 2221, "a" 2222,
// "\u00C0" 2226, "\u00E0" 2227, Cyrillic "\u0410" 2809, "\u0430" 2810,
// "\u0401" 2833, "\u0451" 2834.

#include "data/collation.h"

#include "data/text_case.h"

#include <array>
#include <cassert>

namespace telvara::data {
namespace {

constexpr unsigned k_table_size = 4096;

// Accented and related Latin letters (U+00C0 to U+024F) by base letter a-z,
// from the Unicode decompositions; letters without one (stroke, ligature,
// sharp s) go with the letter they are read as.
constexpr const char16_t* k_latin_variants[26] =
    {
        u"\u00C0\u00C1\u00C2\u00C3\u00C4\u00C5\u00C6\u00E0\u00E1\u00E2\u00E3\u00E4\u00E5\u00E6"
        u"\u0100\u0101\u0102\u0103\u0104\u0105\u01CD\u01CE\u01DE\u01DF\u01E0\u01E1\u01FA\u01FB"
        u"\u0200\u0201\u0202\u0203\u0226\u0227\u023A", // a
        u"\u0180\u0181\u0182\u0183\u0243",             // b
        u"\u00C7\u00E7\u0106\u0107\u0108\u0109\u010A\u010B\u010C\u010D\u0187\u0188\u023B\u023C", // c
        u"\u00D0\u00F0\u010E\u010F\u0110\u0111\u018A\u018B\u018C\u01C5\u01F2\u0221", // d
        u"\u00C8\u00C9\u00CA\u00CB\u00E8\u00E9\u00EA\u00EB\u0112\u0113\u0114\u0115\u0116\u0117"
        u"\u0118\u0119\u011A\u011B\u0204\u0205\u0206\u0207\u0228\u0229\u0246\u0247", // e
        u"\u0191\u0192",                                                             // f
        u"\u011C\u011D\u011E\u011F\u0120\u0121\u0122\u0123\u0193\u01E4\u01E5\u01E6\u01E7\u01F4"
        u"\u01F5",                               // g
        u"\u0124\u0125\u0126\u0127\u021E\u021F", // h
        u"\u00CC\u00CD\u00CE\u00CF\u00EC\u00ED\u00EE\u00EF\u0128\u0129\u012A\u012B\u012C\u012D"
        u"\u012E\u012F\u0130\u0131\u0132\u0133\u0197\u01CF\u01D0\u0208\u0209\u020A\u020B", // i
        u"\u0134\u0135\u01F0\u0248\u0249",                                                 // j
        u"\u0136\u0137\u0138\u0198\u0199\u01E8\u01E9",                                     // k
        u"\u0139\u013A\u013B\u013C\u013D\u013E\u013F\u0140\u0141\u0142\u019A\u01C8\u0234\u023D", // l
        u"", // m
        u"\u00D1\u00F1\u0143\u0144\u0145\u0146\u0147\u0148\u0149\u014A\u014B\u019D\u019E\u01CB"
        u"\u01F8\u01F9\u0220\u0235", // n
        u"\u00D2\u00D3\u00D4\u00D5\u00D6\u00D8\u00F2\u00F3\u00F4\u00F5\u00F6\u00F8\u014C\u014D"
        u"\u014E\u014F\u0150\u0151\u0152\u0153\u019F\u01A0\u01A1\u01D1\u01D2\u01EA\u01EB\u01EC"
        u"\u01ED\u01FE\u01FF\u020C\u020D\u020E\u020F\u022A\u022B\u022C\u022D\u022E\u022F\u0230"
        u"\u0231",                                                                         // o
        u"\u01A4\u01A5",                                                                   // p
        u"\u024B",                                                                         // q
        u"\u0154\u0155\u0156\u0157\u0158\u0159\u0210\u0211\u0212\u0213\u024C\u024D",       // r
        u"\u00DF\u015A\u015B\u015C\u015D\u015E\u015F\u0160\u0161\u017F\u0218\u0219\u023F", // s
        u"\u00DE\u00FE\u0162\u0163\u0164\u0165\u0166\u0167\u01AB\u01AC\u01AD\u01AE\u021A\u021B"
        u"\u0236\u023E", // t
        u"\u00D9\u00DA\u00DB\u00DC\u00F9\u00FA\u00FB\u00FC\u0168\u0169\u016A\u016B\u016C\u016D"
        u"\u016E\u016F\u0170\u0171\u0172\u0173\u01AF\u01B0\u01D3\u01D4\u01D5\u01D6\u01D7\u01D8"
        u"\u01D9\u01DA\u01DB\u01DC\u0214\u0215\u0216\u0217\u0244",                   // u
        u"\u01B2",                                                                   // v
        u"\u0174\u0175",                                                             // w
        u"",                                                                         // x
        u"\u00DD\u00FD\u00FF\u0176\u0177\u0178\u01B3\u01B4\u0232\u0233\u024E\u024F", // y
        u"\u0179\u017A\u017B\u017C\u017D\u017E\u01B5\u01B6\u0224\u0225\u0240",       // z
};

// Russian alphabet order, capitals; each is followed by its small form.
constexpr char16_t k_russian_before_yo[] = u"\u0410\u0411\u0412\u0413\u0414\u0415";
constexpr char16_t k_russian_after_yo[] =
    u"\u0416\u0417\u0418\u0419\u041A\u041B\u041C\u041D\u041E\u041F\u0420\u0421"
    u"\u0422\u0423\u0424\u0425\u0426\u0427\u0428\u0429\u042A\u042B\u042C\u042D"
    u"\u042E\u042F";

class TableBuilder {
  public:
    TableBuilder() {
        for (unsigned c = 0; c < k_table_size; ++c) {
            char16_t lower = to_lower(static_cast<char16_t>(c));
            if (lower != c && lower < k_table_size)
                m_upper[lower] = static_cast<char16_t>(c);
        }
    }

    // Moves on within a run of places: weights only grow.
    void at(std::uint16_t weight) {
        assert(weight >= m_next);
        m_next = weight;
    }
    // Starts a new run lower down, where the letters left room.
    void restart(std::uint16_t weight) { m_next = weight; }
    std::uint16_t next() const { return m_next; }

    void place(char16_t c) {
        if (c >= k_table_size || m_placed[c])
            return;
        m_weights[c] = m_next++;
        m_placed[c] = true;
    }
    // A capital directly before its small form, whichever is met first.
    void place_pair(char16_t c) {
        if (c >= k_table_size || m_placed[c])
            return;
        char16_t upper = m_upper[c];
        if (upper != 0 && !m_placed[upper]) {
            place(upper);
            place(c);
            return;
        }
        place(c);
        place(to_lower(c));
    }
    void place_range(unsigned from, unsigned to) {
        for (unsigned c = from; c < to; ++c)
            place_pair(static_cast<char16_t>(c));
    }
    bool placed(char16_t c) const { return m_placed[c]; }
    const std::array<std::uint16_t, k_table_size>& weights() const { return m_weights; }

  private:
    std::array<std::uint16_t, k_table_size> m_weights{};
    std::array<bool, k_table_size> m_placed{};
    std::array<char16_t, k_table_size> m_upper{};
    std::uint16_t m_next = 0;
};

std::array<std::uint16_t, k_table_size> build_table() {
    TableBuilder b;
    // Letters first, so that the signs can take what is left below the space.
    b.at(2221);
    for (int letter = 0; letter < 26; ++letter) {
        b.place_pair(static_cast<char16_t>(u'A' + letter));
        b.at(static_cast<std::uint16_t>(b.next() + 3)); // room for later additions
        for (const char16_t* v = k_latin_variants[letter]; *v != 0; ++v)
            b.place_pair(*v);
        if (letter == 0)
            b.place(u'\u00AA'); // feminine ordinal
        if (letter == u'o' - u'a')
            b.place(u'\u00BA'); // masculine ordinal
    }
    assert(b.next() <= 2809);

    b.at(2809);
    for (const char16_t* c = k_russian_before_yo; *c != 0; ++c)
        b.place_pair(*c);
    // Other forms of the letter Ie (Ukrainian, Chuvash) before Io.
    for (char16_t c : {u'\u0400', u'\u0404', u'\u04D6'})
        b.place_pair(c);
    b.at(2833);
    b.place_pair(u'\u0401');
    for (const char16_t* c = k_russian_after_yo; *c != 0; ++c)
        b.place_pair(*c);
    b.place_range(0x0400, 0x0530); // the rest of Cyrillic
    b.place_range(0x0370, 0x0400); // Greek
    b.place_range(0x0530, k_table_size);
    assert(b.next() < 8192);

    // Digits lead, then every remaining sign in code order up to the space.
    b.restart(0);
    b.place(0);
    for (int d = 0; d < 10; ++d) {
        b.at(static_cast<std::uint16_t>(1 + 9 * d));
        b.place(static_cast<char16_t>(u'0' + d));
    }
    for (unsigned c = 1; c < 0x370; ++c)
        if (c != u' ' && !b.placed(static_cast<char16_t>(c)))
            b.place(static_cast<char16_t>(c));
    assert(b.next() <= 2032);
    b.at(2032);
    b.place(u' ');
    return b.weights();
}

const std::array<std::uint16_t, k_table_size>& table() {
    static const std::array<std::uint16_t, k_table_size> weights = build_table();
    return weights;
}

} // namespace

std::uint32_t collation_weight(char16_t c) {
    if (c < k_table_size)
        return table()[c];
    return 8192u + c;
}

int collate(WStringView a, WStringView b) {
    const auto& weights = table();
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        char16_t ca = a[i];
        char16_t cb = b[i];
        if (ca == cb)
            continue;
        std::uint32_t wa = ca < k_table_size ? weights[ca] : 8192u + ca;
        std::uint32_t wb = cb < k_table_size ? weights[cb] : 8192u + cb;
        if (wa != wb)
            return wa < wb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace telvara::data
