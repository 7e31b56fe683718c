#pragma once
// One wheel of the spinner, free of nodes: a column of whole values (0 to
// count-1) that a finger drags and flings like the list and that always
// comes to rest with one value centred. Wrapping wheels go round (59 is
// followed by 0); stopping wheels have springy ends like the list's borders.

#include <cstdint>

namespace telvara::ui {

enum class WheelWrap { Around, Stop };

class SpinnerWheel {
  public:
    // Below this speed (rows per second) a fling stops coasting and settles.
    static constexpr double kSettleSpeed = 3.0;
    // How quickly a settling wheel closes the gap to its value, per second.
    static constexpr double kSettleRate = 14.0;
    // Closer than this (rows) a settling wheel snaps onto its value.
    static constexpr double kSnap = 0.002;

    explicit SpinnerWheel(std::int32_t count = 1, WheelWrap wrap = WheelWrap::Around);

    std::int32_t count() const { return m_count; }
    WheelWrap wrap() const { return m_wrap; }

    // Row height and the height of the window the rows show through (the
    // centred row lies in its middle), pixels. Keeps the position.
    void set_geometry(double row_height, double view_height);
    double row_height() const { return m_row_height; }

    // The value under the centre line, fractional while moving. Wrapping
    // wheels may leave 0..count while moving; at rest it is within.
    double position() const { return m_position; }
    // The whole value nearest the centre, in 0..count-1.
    std::int32_t value() const;
    // Value shown `row` rows below the centre row (negative: above), or -1
    // past the end of a stopping wheel.
    std::int32_t value_at(std::int64_t row) const;

    // Jumps to the value (clamped), motion stopped.
    void set_value(std::int32_t value);
    // Glides to the value; a wrapping wheel goes the shorter way round.
    void scroll_to(std::int32_t value);

    // --- The finger ---------------------------------------------------------
    // Catches the wheel where it is.
    void press();
    // The finger moved `dy` pixels (positive: down, showing smaller values).
    void drag(double dy);
    // The finger left with this speed, pixels per second (positive: down).
    void release(double velocity);
    // Taken away without a gesture: settles where it is.
    void cancel() { release(0.0); }

    // Advances the motion; true when the wheel came to rest in this step.
    bool step(double seconds);

    bool is_pressed() const { return m_pressed; }
    bool is_moving() const { return m_phase != Phase::Rest; }
    // Pixels per second, positive while the values go down.
    double velocity() const { return m_velocity; }

  private:
    enum class Phase { Rest, Fling, Settle };

    void settle_toward(double target);
    double wrapped(double position) const;
    std::int32_t whole(double position) const;

    std::int32_t m_count = 1;
    WheelWrap m_wrap = WheelWrap::Around;
    double m_row_height = 20.0;
    double m_view_height = 100.0;
    double m_position = 0.0;
    double m_velocity = 0.0;
    double m_target = 0.0;
    Phase m_phase = Phase::Rest;
    bool m_pressed = false;
};

} // namespace telvara::ui
