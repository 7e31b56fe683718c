#pragma once
// SpinnerNode, the "spinner" node type: the date and time picker. Five
// wheels side by side (year, month, day, hour, minute) that the finger turns;
// set from a date and read back as one, the day kept within its month.

#include "ui/colour.h"
#include "ui/font.h"
#include "ui/node.h"
#include "ui/press_tracker.h"
#include "ui/spinner_wheel.h"

#include <array>
#include <cstdint>

namespace telvara::ui {

struct SpinnerDateTime {
    std::int32_t year = 2000;
    std::int32_t month = 1; // 1-12
    std::int32_t day = 1;   // 1-31
    std::int32_t hour = 0;  // 0-23
    std::int32_t minute = 0;

    friend bool operator==(const SpinnerDateTime&, const SpinnerDateTime&) = default;
};

// Days of the month in the Gregorian calendar (0 for a month outside 1-12).
std::int32_t days_in_month(std::int32_t year, std::int32_t month);

class SpinnerNode;

class SpinnerListener {
  public:
    // A wheel came to rest on a changed value.
    virtual void on_spinner_changed(SpinnerNode& spinner) = 0;

  protected:
    ~SpinnerListener() = default;
};

enum class SpinnerWheelId : std::uint8_t { Year, Month, Day, Hour, Minute };

// The wheels that show: all five, the date's three (a date without a time),
// or month and day (a date without its year either). Hidden wheels keep
// their values.
enum class SpinnerWheels : std::uint8_t { DateTime, Date, MonthDay };

class SpinnerNode : public Node {
  public:
    static constexpr std::int32_t kFirstYear = 1;
    static constexpr std::int32_t kYears = 4000;
    static constexpr std::size_t kWheelCount = 5;
    // Rows the window shows: the chosen one and two on either side.
    static constexpr std::int32_t kVisibleRows = 5;

    SpinnerNode();

    void load(const Properties& skin, NodeRecord record) override;
    void layout_y() override;
    void layout_x() override;
    void measure_y(Measure& measure) override;
    void tick(double seconds) override;
    void draw(RenderSurface& surface, Point origin) override;
    bool on_touch(const PointerEvent& event) override;
    void forward_to_captured(std::int32_t x, std::int32_t y) override;
    void on_visibility_changed(bool effective) override;

    // Every field is brought into range: the year into 1-4000, the month
    // into 1-12, the day into the month's days, hour and minute likewise.
    void set_date_time(const SpinnerDateTime& value);
    // What the wheels show (the nearest whole values), the day no later
    // than the last of the shown month.
    SpinnerDateTime date_time() const;

    SpinnerWheel& wheel(SpinnerWheelId id) { return m_wheels[std::size_t(id)]; }
    const SpinnerWheel& wheel(SpinnerWheelId id) const { return m_wheels[std::size_t(id)]; }
    bool is_moving() const;

    void set_listener(SpinnerListener* listener) { m_listener = listener; }

    void set_font(FontHandle font);
    const FontHandle& font() const { return m_font; }
    void set_color(Colour text, Colour background);
    const Colour& color() const { return m_text; }
    const Colour& background_color() const { return m_background; }

    void set_wheels(SpinnerWheels wheels);
    SpinnerWheels wheels() const { return m_shown; }
    bool shows(SpinnerWheelId id) const;

    // The wheel's column, relative to the node's left edge (no width for a
    // wheel that does not show).
    std::int32_t column_left(SpinnerWheelId id) const;
    std::int32_t column_width(SpinnerWheelId id) const;
    std::int32_t row_height() const;

    // The label the wheel shows for one of its values; months by the names
    // of the skin's language (the locale's until a skin is loaded).
    WString label(SpinnerWheelId id, std::int32_t value) const;

  private:
    // The column shares of the wheels before wheel number `wheels` that show.
    std::int32_t column_share_end(std::size_t wheels) const;
    void place_wheels();
    // Keeps the day within the month once the wheels are still.
    void clamp_day();
    SpinnerWheel* wheel_at(std::int32_t screen_x);
    void draw_wheel(RenderSurface& surface, Point origin, std::size_t index);

    std::array<SpinnerWheel, kWheelCount> m_wheels;
    SpinnerListener* m_listener = nullptr;
    FontHandle m_font;
    Colour m_text{0, 0, 0, 255};
    Colour m_background{255, 255, 255, 255};
    PressTracker m_tracker;
    SpinnerWheel* m_held = nullptr;
    Point m_last;
    bool m_dragged = false;
    double m_clock = 0.0; // seconds, for the press tracker
    SpinnerDateTime m_reported;
    SpinnerWheels m_shown = SpinnerWheels::DateTime;
    std::array<WString, 12> m_months;
};

} // namespace telvara::ui
