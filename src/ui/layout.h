#pragma once
// Scale types and the one-axis placement rule that every container applies to
// its children, plus the (preferred, minimum) measure pair.

#include "platform/text.h"

#include <cstdint>
#include <optional>

namespace telvara::ui {

enum class Axis : std::uint8_t { X, Y };

// The numbering is the one the skin vocabulary documents; keep it stable.
enum class ScaleType : std::uint8_t {
    MinSide = 0,
    BothSide = 1,
    MaxSide = 2,
    Ratio = 3,
    Center = 4,
    MinSideNoSize = 5,
    MaxSideNoSize = 6,
    BothSideNoSize = 7,
    CenterNoSize = 8,
};

// Exact, case-sensitive match of the skin word ("CENTER", "MAX_SIDE_NO_SIZE"...).
std::optional<ScaleType> parse_scale_type(WStringView word);
WStringView scale_type_word(ScaleType type);

// The "_NO_SIZE" types are not limited by the parent and add nothing to its measure.
bool adds_to_measure(ScaleType type);

struct Measure {
    std::int32_t preferred = 0;
    std::int32_t minimum = 0;

    friend bool operator==(const Measure&, const Measure&) = default;
};

// A cached measure whose preferred size is -1 must be computed again.
inline constexpr Measure stale_measure{-1, -1};
inline bool is_stale(const Measure& m) {
    return m.preferred == -1;
}

struct Span {
    std::int32_t offset = 0;
    std::int32_t size = 0;

    friend bool operator==(const Span&, const Span&) = default;
};

// Size and offset of a child inside a space of `space` pixels along one axis,
// given its borders and the size it is offered. Sizes never go below 0.
Span place_in_space(ScaleType type, std::int32_t space, std::int32_t border_min,
                    std::int32_t border_max, std::int32_t asked);

} // namespace telvara::ui
