// ScreenInfo from the display's metrics.
#include "app/screen_info.h"

#include <charconv>

namespace telvara::app {

namespace {

bool parse_number(std::string_view text, std::int32_t low, std::int32_t high, std::int32_t& out) {
    std::int32_t value = 0;
    const auto* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || value < low || value > high)
        return false;
    out = value;
    return true;
}

} // namespace

std::int32_t density_class(std::int32_t dpi) {
    if (dpi >= 384)
        return 2;
    if (dpi >= 192)
        return 1;
    return 0;
}

unsigned scale_shift(const ScreenInfo& info) {
    return unsigned(info.density < 0 ? 0 : info.density);
}

bool parse_screen_size(std::string_view text, ScreenOverrides& out) {
    const auto cross = text.find('x');
    if (cross == std::string_view::npos)
        return false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (!parse_number(text.substr(0, cross), 1, 16384, width) ||
        !parse_number(text.substr(cross + 1), 1, 16384, height))
        return false;
    out.width = width;
    out.height = height;
    return true;
}

bool parse_dpi(std::string_view text, ScreenOverrides& out) {
    std::int32_t dpi = 0;
    if (!parse_number(text, 1, 10000, dpi))
        return false;
    out.dpi = dpi;
    return true;
}

ScreenInfo make_screen_info(const display::ScreenMetrics& metrics,
                            const ScreenOverrides& overrides) {
    ScreenInfo info;
    info.width = overrides.width.value_or(metrics.width);
    info.height = overrides.height.value_or(metrics.height);
    info.current_width = info.width;
    info.current_height = info.height;
    info.orientation = metrics.orientation;
    info.dpi = overrides.dpi.value_or(metrics.dpi);
    info.density = density_class(info.dpi);
    return info;
}

} // namespace telvara::app
