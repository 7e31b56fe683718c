#include "data/contact_record.h"

namespace telvara::data {

FieldKind kind_of(FieldType type) {
    auto t = static_cast<std::uint32_t>(type);
    if (t <= 8)
        return FieldKind::Phone;
    if (t <= 11)
        return FieldKind::Email;
    if (t == 12)
        return FieldKind::Web;
    if (t >= 24 && t <= 28)
        return FieldKind::WorkAddress;
    if (t >= 29 && t <= 33)
        return FieldKind::HomeAddress;
    return FieldKind::Other;
}

bool is_number_field(FieldType type) {
    return kind_of(type) == FieldKind::Phone || type == FieldType::BusinessFax ||
           type == FieldType::HomeFax || type == FieldType::PagerNumber;
}

const char16_t* field_type_name(FieldType type) {
    static constexpr const char16_t* names[] = {
        u"Mobile",   u"BusinessTel", u"Business2Tel",   u"HomeTel",       u"Home2Tel",
        u"CarTel",   u"RadioTel",    u"CompanyMainTel", u"AssistantTel",  u"Email1",
        u"Email2",   u"Email3",      u"WebPage",        u"MiddleName",    u"Suffix",
        u"NickName", u"Department",  u"JobTitle",       u"AssistantName", u"BusinessFax",
        u"HomeFax",  u"PagerNumber", u"Birthday",       u"Categories"};
    auto t = static_cast<std::uint32_t>(type);
    if (t < std::size(names))
        return names[t];
    if (t <= 28)
        return u"WorkAddress";
    if (t <= 33)
        return u"HomeAddress";
    return u"Unknown";
}

const ContactField* ContactRecord::field(FieldType type) const {
    for (const auto& f : fields)
        if (f.type == type)
            return &f;
    return nullptr;
}

} // namespace telvara::data
