#pragma once
// Integer points, sizes and rectangles in surface pixels.

#include <algorithm>
#include <cstdint>

namespace telvara::ui {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;  // exclusive
    std::int32_t bottom = 0; // exclusive

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool is_empty() const { return right <= left || bottom <= top; }

    // The common part; may come out empty (right <= left or bottom <= top).
    Rect intersect(const Rect& other) const {
        return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                std::min(bottom, other.bottom)};
    }

    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace telvara::ui
