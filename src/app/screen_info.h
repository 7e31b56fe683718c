#pragma once
// ScreenInfo: the screen as the program sees it (size, orientation, density)
// and the skin's scale_shift that follows from the density. Read from the
// display; size and density can be forced from the command line.

#include "display/display.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace telvara::app {

struct ScreenInfo {
    std::int32_t width = 0; // at start-up
    std::int32_t height = 0;
    std::int32_t current_width = 0; // now
    std::int32_t current_height = 0;
    std::int32_t orientation = 4; // until read from the display
    std::int32_t dpi = 0;         // pixels per inch
    std::int32_t density = 0;     // 0 below 192 ppi, 1 from 192, 2 from 384

    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
};

std::int32_t density_class(std::int32_t dpi);

// Coordinates of a skin are multiplied by 2^scale_shift: one step per
// density class.
unsigned scale_shift(const ScreenInfo& info);

// Values given on the command line win over what the display reports.
struct ScreenOverrides {
    std::optional<std::int32_t> width;
    std::optional<std::int32_t> height;
    std::optional<std::int32_t> dpi;
};

// "480x640" → width and height (each 1 to 16384); nothing otherwise.
bool parse_screen_size(std::string_view text, ScreenOverrides& out);
// "192" → dpi (1 to 10000); nothing otherwise.
bool parse_dpi(std::string_view text, ScreenOverrides& out);

ScreenInfo make_screen_info(const display::ScreenMetrics& metrics,
                            const ScreenOverrides& overrides = {});

} // namespace telvara::app
