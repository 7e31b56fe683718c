// The "spinner" node: the five wheels' columns, the date they stand for with
// the day kept inside its month, finger handling and the drawing of the
// wheels with the chosen row in a band across the middle.
#include "ui/spinner_node.h"

#include "ui/date_format.h"
#include "ui/drawing.h"
#include "ui/font_draw.h"
#include "ui/font_measure.h"
#include "ui/properties.h"
#include "ui/render_surface.h"
#include "ui/text_node.h"

#include <algorithm>
#include <cmath>

namespace telvara::ui {

namespace {

// Column shares: year, month, day, a gap between date and time, hour, minute.
constexpr std::array<std::int32_t, SpinnerNode::kWheelCount> kShares = {5, 4, 3, 3, 3};
constexpr std::int32_t kGapShare = 1;

// A mix of two colours, `t` of the way from `from` to `to`.
Colour mix(Colour from, Colour to, double t) {
    auto channel = [t](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (b - a) * std::clamp(t, 0.0, 1.0)));
    };
    return {channel(from.red, to.red), channel(from.green, to.green), channel(from.blue, to.blue),
            255};
}

WString two_digits(std::int32_t value) {
    WString text = to_wstring(value);
    return text.size() < 2 ? u"0" + text : text;
}

} // namespace

std::int32_t days_in_month(std::int32_t year, std::int32_t month) {
    static constexpr std::int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    return kDays[month - 1];
}

SpinnerNode::SpinnerNode()
    : m_wheels{SpinnerWheel(kYears, WheelWrap::Stop), SpinnerWheel(12, WheelWrap::Around),
               SpinnerWheel(31, WheelWrap::Around), SpinnerWheel(24, WheelWrap::Around),
               SpinnerWheel(60, WheelWrap::Around)} {
    set_date_time(SpinnerDateTime{});
}

void SpinnerNode::load(const Properties& skin, NodeRecord record) {
    Node::load(skin, record);
    if (skin.impl().read_font_index(record, u"font"))
        m_font = skin.read_font(record, u"font", nullptr);
    else
        m_font = default_text_font(skin.scale_shift());
    m_text = skin.read_colour(record, u"color", Colour{0, 0, 0, 255});
    m_background = skin.read_colour(record, u"background_color", Colour{255, 255, 255, 255});
    m_tracker.set_scale_shift(skin.scale_shift());
    // The language's names, never the C library's: a Russian wheel reads
    // "окт", not "Oct". The language changes only with a reload.
    m_months = date_words([&skin](WStringView key) { return skin.translate(key); }).wheel_months;
}

void SpinnerNode::set_font(FontHandle font) {
    m_font = std::move(font);
    mark_layout();
    mark_redraw();
}

void SpinnerNode::set_color(Colour text, Colour background) {
    m_text = text;
    m_background = background;
    mark_redraw();
}

// --- The date ---------------------------------------------------------------------

void SpinnerNode::set_date_time(const SpinnerDateTime& value) {
    const std::int32_t year = std::clamp(value.year, kFirstYear, kFirstYear + kYears - 1);
    const std::int32_t month = std::clamp(value.month, 1, 12);
    const std::int32_t day = std::clamp(value.day, 1, days_in_month(year, month));
    wheel(SpinnerWheelId::Year).set_value(year - kFirstYear);
    wheel(SpinnerWheelId::Month).set_value(month - 1);
    wheel(SpinnerWheelId::Day).set_value(day - 1);
    wheel(SpinnerWheelId::Hour).set_value(std::clamp(value.hour, 0, 23));
    wheel(SpinnerWheelId::Minute).set_value(std::clamp(value.minute, 0, 59));
    if (m_held) {
        m_held = nullptr;
        m_dragged = false;
    }
    m_reported = date_time();
    mark_redraw();
}

SpinnerDateTime SpinnerNode::date_time() const {
    SpinnerDateTime value;
    value.year = kFirstYear + wheel(SpinnerWheelId::Year).value();
    value.month = 1 + wheel(SpinnerWheelId::Month).value();
    value.day =
        std::min(1 + wheel(SpinnerWheelId::Day).value(), days_in_month(value.year, value.month));
    value.hour = wheel(SpinnerWheelId::Hour).value();
    value.minute = wheel(SpinnerWheelId::Minute).value();
    return value;
}

bool SpinnerNode::is_moving() const {
    return std::any_of(m_wheels.begin(), m_wheels.end(),
                       [](const SpinnerWheel& w) { return w.is_moving() || w.is_pressed(); });
}

void SpinnerNode::clamp_day() {
    for (auto id : {SpinnerWheelId::Year, SpinnerWheelId::Month, SpinnerWheelId::Day})
        if (wheel(id).is_moving() || wheel(id).is_pressed())
            return;
    const SpinnerDateTime shown = date_time();
    SpinnerWheel& day = wheel(SpinnerWheelId::Day);
    if (day.value() + 1 > shown.day)
        day.scroll_to(shown.day - 1);
}

WString SpinnerNode::label(SpinnerWheelId id, std::int32_t value) const {
    switch (id) {
    case SpinnerWheelId::Year:
        return to_wstring(kFirstYear + value);
    case SpinnerWheelId::Month: {
        WString name = value >= 0 && value < 12 ? m_months[std::size_t(value)] : WString();
        if (name.empty())
            name = format_date_picture(CalendarDate{2000, value + 1, 1}, u"MMM");
        return name.empty() ? two_digits(value + 1) : name;
    }
    case SpinnerWheelId::Day:
        return to_wstring(value + 1);
    case SpinnerWheelId::Hour:
    case SpinnerWheelId::Minute:
        return two_digits(value);
    }
    return {};
}

// --- Layout -----------------------------------------------------------------------

std::int32_t SpinnerNode::row_height() const {
    return std::max(1, height() / kVisibleRows);
}

void SpinnerNode::set_wheels(SpinnerWheels wheels) {
    if (wheels == m_shown)
        return;
    if (m_held != nullptr && !shows(SpinnerWheelId(m_held - m_wheels.data()))) {
        m_held->cancel();
        m_held = nullptr;
    }
    m_shown = wheels;
    mark_redraw();
}

bool SpinnerNode::shows(SpinnerWheelId id) const {
    switch (m_shown) {
    case SpinnerWheels::DateTime:
        return true;
    case SpinnerWheels::Date:
        return id <= SpinnerWheelId::Day;
    case SpinnerWheels::MonthDay:
        return id == SpinnerWheelId::Month || id == SpinnerWheelId::Day;
    }
    return true;
}

std::int32_t SpinnerNode::column_share_end(std::size_t wheels) const {
    // The shares of the first `wheels` wheels that show, with the gap before
    // the time when the time shows.
    std::int32_t share = 0;
    for (std::size_t i = 0; i < wheels; ++i) {
        if (!shows(SpinnerWheelId(i)))
            continue;
        if (SpinnerWheelId(i) == SpinnerWheelId::Hour)
            share += kGapShare;
        share += kShares[i];
    }
    return share;
}

std::int32_t SpinnerNode::column_left(SpinnerWheelId id) const {
    const std::int32_t total = std::max(column_share_end(kWheelCount), 1);
    std::int32_t share = column_share_end(std::size_t(id));
    if (id == SpinnerWheelId::Hour && shows(id))
        share += kGapShare;
    return width() * share / total;
}

std::int32_t SpinnerNode::column_width(SpinnerWheelId id) const {
    if (!shows(id))
        return 0;
    const std::int32_t total = std::max(column_share_end(kWheelCount), 1);
    return width() * column_share_end(std::size_t(id) + 1) / total - column_left(id);
}

void SpinnerNode::place_wheels() {
    for (SpinnerWheel& w : m_wheels)
        w.set_geometry(row_height(), height());
}

void SpinnerNode::layout_x() {
    Node::layout_x();
}

void SpinnerNode::layout_y() {
    Node::layout_y();
    place_wheels();
}

void SpinnerNode::measure_y(Measure& measure) {
    Node::measure_y(measure);
    if (m_font && !m_font->is_null())
        measure.preferred = std::max(measure.preferred, kVisibleRows * m_font->height() * 3 / 2);
}

// --- Time and the finger ------------------------------------------------------------

void SpinnerNode::tick(double seconds) {
    Node::tick(seconds);
    m_clock += std::max(seconds, 0.0);
    bool changed = false;
    bool settled = false;
    for (SpinnerWheel& w : m_wheels) {
        if (w.is_moving())
            changed = true;
        if (w.step(seconds))
            settled = true;
    }
    if (settled) {
        clamp_day();
        const SpinnerDateTime now = date_time();
        if (!is_moving() && now != m_reported) {
            m_reported = now;
            if (m_listener)
                m_listener->on_spinner_changed(*this);
        }
    }
    if (changed)
        mark_redraw();
}

SpinnerWheel* SpinnerNode::wheel_at(std::int32_t screen_x) {
    const std::int32_t at = screen_x - x();
    for (std::size_t i = 0; i < kWheelCount; ++i) {
        const auto id = SpinnerWheelId(i);
        const std::int32_t left = column_left(id);
        if (at >= left && at < left + column_width(id))
            return &m_wheels[i];
    }
    return nullptr;
}

bool SpinnerNode::on_touch(const PointerEvent& event) {
    const auto now = static_cast<std::uint32_t>(m_clock * 1000.0);
    const Point point{event.x, event.y};
    switch (event.kind) {
    case PointerKind::Down:
        if (event.cancelled)
            return false;
        m_held = wheel_at(event.x);
        if (!m_held)
            return false;
        // A touch on a turning wheel only catches it.
        m_dragged = m_held->is_moving();
        m_held->press();
        m_tracker.press(point, now);
        m_last = point;
        mark_redraw();
        return true;
    case PointerKind::Move:
        forward_to_captured(event.x, event.y);
        return m_held != nullptr;
    case PointerKind::Up: {
        SpinnerWheel* held = m_held;
        m_held = nullptr;
        if (!held)
            return false;
        if (event.cancelled) {
            held->cancel();
        } else if (m_dragged) {
            m_tracker.sample(point, now);
            held->release(m_tracker.velocity().y);
        } else {
            // A tap on a row above or below the middle turns it there.
            held->release(0.0);
            const double centre = y() + height() / 2.0;
            const auto rows =
                static_cast<std::int64_t>(std::floor((event.y - centre) / row_height() + 0.5));
            if (rows != 0)
                held->scroll_to(held->value_at(rows));
        }
        mark_redraw();
        return true;
    }
    }
    return false;
}

void SpinnerNode::forward_to_captured(std::int32_t px, std::int32_t py) {
    if (!m_held)
        return;
    const auto now = static_cast<std::uint32_t>(m_clock * 1000.0);
    if (!m_tracker.sample(Point{px, py}, now) && !m_dragged)
        return; // still inside the dead zone around the press
    m_held->drag(py - m_last.y);
    m_last = Point{px, py};
    m_dragged = true;
    mark_redraw();
}

void SpinnerNode::on_visibility_changed(bool effective) {
    Node::on_visibility_changed(effective);
    if (!effective && m_held) {
        m_held->cancel();
        m_held = nullptr;
    }
}

// --- Drawing ------------------------------------------------------------------------

void SpinnerNode::draw_wheel(RenderSurface& surface, Point origin, std::size_t index) {
    const auto id = SpinnerWheelId(index);
    const SpinnerWheel& w = m_wheels[index];
    const std::int32_t left = origin.x + column_left(id);
    const std::int32_t columns = column_width(id);
    const std::int32_t rh = row_height();
    const double centre_top = origin.y + (height() - rh) / 2.0;
    const FontRep* font = m_font.get();
    const std::int32_t text_height = font->height();
    const SpinnerDateTime shown = date_time();
    const std::int32_t last_day = days_in_month(shown.year, shown.month);
    const double base = std::floor(w.position());
    const std::int64_t reach = kVisibleRows / 2 + 1;

    ClipScope clip(surface, Rect{left, origin.y, left + columns, origin.y + height()});
    for (std::int64_t row = -reach; row <= reach + 1; ++row) {
        const std::int32_t value = w.value_at(row);
        if (value < 0)
            continue;
        const double distance = base + double(row) - w.position(); // rows from the middle
        const double top = centre_top + distance * rh;
        // Rows fade toward the window's edges, as on a drum.
        double strength = 1.0 - std::min(1.0, std::abs(distance) / (kVisibleRows / 2.0 + 0.5));
        strength = 0.25 + 0.75 * strength;
        if (id == SpinnerWheelId::Day && value + 1 > last_day)
            strength *= 0.35; // days the shown month does not have
        const WString text = label(id, value);
        const std::int32_t text_width = measure_text(font, text).width;
        draw_text(surface, left + (columns - text_width) / 2,
                  static_cast<std::int32_t>(std::lround(top + (rh - text_height) / 2.0)), font,
                  text, mix(m_background, m_text, strength));
    }
}

void SpinnerNode::draw(RenderSurface& surface, Point origin) {
    ClipScope clip(surface, Rect{origin.x, origin.y, origin.x + width(), origin.y + height()});
    fill(surface, origin, Size{width(), height()}, m_background);
    const std::int32_t rh = row_height();
    const std::int32_t band_top = origin.y + (height() - rh) / 2;
    fill(surface, Point{origin.x, band_top}, Size{width(), rh}, mix(m_background, m_text, 0.1));
    const std::int32_t line = std::max(1, rh / 24);
    const Colour edge = mix(m_background, m_text, 0.35);
    fill(surface, Point{origin.x, band_top}, Size{width(), line}, edge);
    fill(surface, Point{origin.x, band_top + rh - line}, Size{width(), line}, edge);
    if (m_font && !m_font->is_null()) {
        for (std::size_t i = 0; i < kWheelCount; ++i)
            if (shows(SpinnerWheelId(i)))
                draw_wheel(surface, origin, i);
        // The colon between hour and minute.
        if (shows(SpinnerWheelId::Minute)) {
            const std::int32_t colon_x = origin.x + column_left(SpinnerWheelId::Minute) -
                                         measure_text(m_font.get(), u":").width / 2;
            draw_text(surface, colon_x, band_top + (rh - m_font->height()) / 2, m_font.get(), u":",
                      m_text);
        }
    }
    // Frames and glass from the skin lie on top.
    Node::draw(surface, origin);
}

} // namespace telvara::ui
