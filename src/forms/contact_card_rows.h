#pragma once
// The contact card's row list and what each field row shows: which rows a
// contact makes (head, fields, separators, buttons), the icon of a field, its
// label key and the text of its value (dates, categories, whole addresses).

#include "data/contact_record.h"
#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace telvara::forms {

// View shows the contact and acts on its fields; Edit adds the removal and
// the buttons row (the field editors open from there).
enum class CardMode { View, Edit };

// Row values that are not field indexes.
inline constexpr int kGroupSeparatorRow = -1;
inline constexpr int kSeparatorRow = -2;
inline constexpr int kHeadRow = -3;
inline constexpr int kButtonsRow = -4;

// Fields in group order and by type within a group (the store's order;
// stable: fields of one type keep their order), the order the card lists
// them in.
void sort_fields_by_group(std::vector<data::ContactField>& fields);

bool is_address(data::FieldKind kind);

// The head, then each field (the parts of one address make one row) with a
// group separator before the first field and before every change of group
// and a plain separator between fields of one group; in edit mode a group
// separator and the buttons row close the list. `fields` must be sorted by
// group.
std::vector<int> build_rows(const std::vector<data::ContactField>& fields, CardMode mode);

// The icon index of the "icons" switch for a field type: 0 mobile, 1 other
// phones, 2 e-mail, 3 web page, 4 address, 5 categories, 6 birthday, 7 other.
std::size_t icon_state(data::FieldType type);

// The fields [first, end) that make up the row starting at `first`: the
// consecutive parts of an address, one field otherwise.
std::size_t row_field_end(const std::vector<data::ContactField>& fields, std::size_t first);

// The language key of the field's label ("Mobile", "WorkAddress", ...).
WString field_label_key(data::FieldType type);

// A stored birthday (milliseconds since 1970, UTC) as the card shows it: day,
// month name and year in the order and words of the language `translate`
// reads from ("9 октября 1974"), the year left out when the date has none.
// Without a language the C library's locale speaks. Text that is not a
// number stays as it is.
WString birthday_text(WStringView stored,
                      const std::function<WString(WStringView)>& translate = {});

// The "big" text of the row starting at field `first`. `translate` turns a
// language key into text (the empty categories show "skinCategoryNone").
// Address parts are joined with ", ", empty parts left out.
WString field_text(const std::vector<data::ContactField>& fields, std::size_t first,
                   const std::function<WString(WStringView)>& translate);

} // namespace telvara::forms
