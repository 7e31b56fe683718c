#pragma once
// One contact as the whole list holds it: only what the list shows and the
// search and caller identification need (names, company, categories, the
// numbers as written), in one string, so that 100,000 contacts cost one
// small block each. The rest of a contact is read from the store when a
// screen asks for it.

#include "data/contact_record.h"

#include <array>
#include <cstdint>

namespace telvara::data {

struct ContactRow {
    std::uint32_t oid = 0; // 0: the contact was removed
    std::uint16_t first_length = 0;
    std::uint16_t last_length = 0;
    std::uint16_t company_length = 0;
    std::uint16_t categories_length = 0;
    // First, last, company, categories; then per number its field type, its
    // length and its text.
    WString text;

    static ContactRow from(const ContactRecord& record);

    WStringView first_name() const { return WStringView(text).substr(0, first_length); }
    WStringView last_name() const { return WStringView(text).substr(first_length, last_length); }
    WStringView company() const {
        return WStringView(text).substr(first_length + last_length, company_length);
    }
    WStringView categories() const {
        return WStringView(text).substr(std::size_t(first_length) + last_length + company_length,
                                        categories_length);
    }
    // Calls f(type, number) for every number in field order.
    template <class F> void for_each_number(F&& f) const {
        std::size_t at =
            std::size_t(first_length) + last_length + company_length + categories_length;
        while (at + 2 <= text.size()) {
            const auto type = static_cast<FieldType>(text[at]);
            const std::size_t length = text[at + 1];
            f(type, WStringView(text).substr(at + 2, length));
            at += 2 + length;
        }
    }
    // The names, the company and the numbers as a record (categories too).
    ContactRecord record() const;
};

// The sort keys K1, K2, K3 of a row, lower-cased (see make_sort_keys).
std::array<WString, 3> row_sort_keys(const ContactRow& row);

} // namespace telvara::data
