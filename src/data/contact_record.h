#pragma once
// One contact as every part of the program sees it: the store's identifier,
// the three names, an optional photo and the other properties as typed fields.

#include "platform/text.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace telvara::ui {
struct Picture;
}

namespace telvara::data {

// Numbering is fixed: it is stored and logged.
enum class FieldType : std::uint32_t {
    Mobile = 0,
    BusinessTel = 1,
    Business2Tel = 2,
    HomeTel = 3,
    Home2Tel = 4,
    CarTel = 5,
    RadioTel = 6,
    CompanyMainTel = 7,
    AssistantTel = 8,
    Email1 = 9,
    Email2 = 10,
    Email3 = 11,
    WebPage = 12,
    MiddleName = 13,
    Suffix = 14,
    NickName = 15,
    Department = 16,
    JobTitle = 17,
    AssistantName = 18,
    BusinessFax = 19,
    HomeFax = 20,
    PagerNumber = 21,
    Birthday = 22,
    Categories = 23,
    WorkAddress1 = 24, // five parts: street, city, region, postal code, country
    WorkAddress5 = 28,
    HomeAddress1 = 29,
    HomeAddress5 = 33,
    Unknown = 34,
};

enum class FieldKind : std::uint32_t {
    Phone = 0,
    Email = 1,
    Web = 2,
    WorkAddress = 3,
    HomeAddress = 4,
    Other = 5,
};

// The kind always follows from the type.
FieldKind kind_of(FieldType type);

// Every field that holds a number one can dial or send to: the phones of
// kind Phone, the two faxes and the pager.
bool is_number_field(FieldType type);

// "Mobile", "BusinessTel", ... as written to the log; address parts share
// "WorkAddress" / "HomeAddress".
const char16_t* field_type_name(FieldType type);

struct ContactField {
    FieldKind kind = FieldKind::Other;
    FieldType type = FieldType::Unknown;
    WString value;

    ContactField() = default;
    ContactField(FieldType t, WString v) : kind(kind_of(t)), type(t), value(std::move(v)) {}
    bool operator==(const ContactField&) const = default;
};

struct ContactRecord {
    std::uint32_t oid = 0; // 0 until stored
    WString first_name;
    WString last_name;
    WString company;
    std::shared_ptr<const ui::Picture> photo; // loaded on demand for display
    std::vector<ContactField> fields;

    // The first field of that type, or null.
    const ContactField* field(FieldType type) const;
};

} // namespace telvara::data
