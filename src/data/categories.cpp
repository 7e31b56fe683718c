#include "data/categories.h"

namespace telvara::data {
namespace {

// Calls f(piece) for every piece; stops early when f returns true.
template <class F> bool for_each_piece(WStringView text, F&& f) {
    std::size_t begin = 0;
    auto piece = [&](std::size_t end) {
        WStringView p = text.substr(begin, end - begin);
        if (!p.empty() && p.front() == u' ')
            p.remove_prefix(1);
        return f(p);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u',' || text[i] == u';') {
            if (piece(i))
                return true;
            begin = i + 1;
        }
    }
    if (begin < text.size())
        return piece(text.size());
    return false;
}

} // namespace

std::vector<WString> split_categories(WStringView text) {
    std::vector<WString> pieces;
    for_each_piece(text, [&](WStringView p) {
        pieces.emplace_back(p);
        return false;
    });
    return pieces;
}

bool category_text_has(WStringView text, WStringView name) {
    return for_each_piece(text, [&](WStringView p) { return p == name; });
}

bool in_category(const ContactRecord& record, WStringView category) {
    if (category == k_no_category)
        return true;
    for (const ContactField& field : record.fields)
        if (field.type == FieldType::Categories && category_text_has(field.value, category))
            return true;
    return false;
}

} // namespace telvara::data
