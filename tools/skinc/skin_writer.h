#pragma once
// The binary skin file writer: turns an in-memory skin (picture names, font
// descriptions, strings and a forest of nodes with typed properties) into the
// exact byte layout the skin loader reads in place.

#include "platform/text.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace telvara::skinc {

struct PointValue {
    std::int16_t x = 0;
    std::int16_t y = 0;
};

// Source rectangle of a three-slice picture: x[0..3] and y[0..3] at design
// resolution, the index into the skin's picture names and the flag byte.
struct PictureValue {
    std::uint16_t x[4] = {};
    std::uint16_t y[4] = {};
    std::uint32_t picture = 0;
    std::uint8_t flag = 0;
};

struct ColorValue {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

template <class T> using PropertyList = std::vector<std::pair<WString, T>>;

// One node record. Properties may be listed in any order; the writer sorts
// them. Font and string properties hold indices into the skin's tables.
struct NodeModel {
    PropertyList<std::uint32_t> integers;
    PropertyList<std::uint32_t> fonts;
    PropertyList<PointValue> points;
    PropertyList<std::uint32_t> strings;
    PropertyList<PictureValue> pictures;
    PropertyList<ColorValue> colors;
    std::vector<NodeModel> children;
};

struct TopLevelNode {
    WString name;
    NodeModel node;
};

struct SkinModel {
    std::vector<WString> pictures;
    std::vector<WString> fonts;
    std::vector<WString> strings;
    std::vector<TopLevelNode> nodes;

    // Index of the string, appended when not yet present.
    std::uint32_t intern_string(WStringView text);
};

struct WriteResult {
    std::vector<std::uint8_t> bytes;
    std::string error; // empty on success; then bytes hold the file

    bool ok() const { return error.empty(); }
};

// Lays the skin out: header at 0, property and top-level names next (so that
// the 16-bit name offsets reach them), the string table, then every top-level
// index entry followed by its node records, all 4-aligned. Refuses (with a
// one-line reason, no bytes) what the format cannot express: more than 256
// pictures, a node whose properties end beyond 64 KB of its record, property
// names beyond the first 64 KB, duplicate names, references to missing
// pictures, fonts or strings.
WriteResult write_skin(const SkinModel& model);

// write_skin and then the bytes into the file; false with the reason in *error.
bool write_skin_file(const SkinModel& model, const std::string& file_name, std::string* error);

} // namespace telvara::skinc
