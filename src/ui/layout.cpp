// The scale-type table: words, measure contribution and the placement rule.
#include "ui/layout.h"

#include <algorithm>
#include <array>

namespace telvara::ui {

namespace {

constexpr std::array<WStringView, 9> words = {
    u"MIN_SIDE",         u"BOTH_SIDE",        u"MAX_SIDE",          u"RATIO",          u"CENTER",
    u"MIN_SIDE_NO_SIZE", u"MAX_SIDE_NO_SIZE", u"BOTH_SIDE_NO_SIZE", u"CENTER_NO_SIZE",
};

} // namespace

std::optional<ScaleType> parse_scale_type(WStringView word) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == word)
            return static_cast<ScaleType>(i);
    }
    return std::nullopt;
}

WStringView scale_type_word(ScaleType type) {
    const auto index = static_cast<std::size_t>(type);
    return index < words.size() ? words[index] : WStringView{};
}

bool adds_to_measure(ScaleType type) {
    return static_cast<std::uint8_t>(type) <= static_cast<std::uint8_t>(ScaleType::Center);
}

Span place_in_space(ScaleType type, std::int32_t space, std::int32_t border_min,
                    std::int32_t border_max, std::int32_t asked) {
    std::int32_t size = 0;
    switch (type) {
    case ScaleType::MinSide:
        size = std::min(asked, space - border_min);
        break;
    case ScaleType::BothSide:
    case ScaleType::BothSideNoSize:
        size = space - border_min - border_max;
        break;
    case ScaleType::MaxSide:
        size = std::min(asked, space - border_max);
        break;
    case ScaleType::Ratio:
    case ScaleType::Center:
        size = std::min(asked, space - border_min - border_max);
        break;
    case ScaleType::MinSideNoSize:
    case ScaleType::MaxSideNoSize:
    case ScaleType::CenterNoSize:
        size = asked;
        break;
    }
    size = std::max(size, 0);

    std::int32_t offset = border_min;
    switch (type) {
    case ScaleType::MaxSide:
    case ScaleType::MaxSideNoSize:
        offset = std::max(0, space - size - border_max);
        break;
    case ScaleType::Center:
    case ScaleType::CenterNoSize:
        offset = border_min + std::max(0, (space - border_min - size - border_max) / 2);
        break;
    default:
        break;
    }
    return {offset, size};
}

} // namespace telvara::ui
