#pragma once
// RecentsListElement: one row of the recents tab (a group of calls of one
// day, number and kind): name or number, count, date or time, duration, the
// number's label, a direction icon by kind and two buttons ("direction" for
// the call's menu, "btnRecents" for the calls of that number). Also owns the
// texts both recents screens make from a call: time, date, duration, count
// and the direction look.

#include "data/call_record.h"
#include "platform/text.h"
#include "ui/button_node.h"
#include "ui/date_format.h"
#include "ui/text_node.h"
#include "ui/vlist.h"

#include <array>
#include <cstdint>
#include <functional>
#include <utility>

namespace telvara::ui {
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

// --- Texts of a call -------------------------------------------------------------

// Calls carry their start as local file time: 100 ns units since
// 1601-01-01 on the local clock. Two calls are on the same calendar day
// when these day numbers are equal.
std::int64_t local_day_number(std::int64_t local_file_time);
// "14:05": hours and minutes of the start, 24-hour clock.
WString recent_time_text(std::int64_t local_file_time);

// The words calls are dated with, in the skin's language.
struct RecentWords {
    ui::DateWords dates;
    WString yesterday; // "Yesterday"
};
// `translate` turns a language key into text (Properties::translate).
RecentWords recent_words(const std::function<WString(WStringView)>& translate);

// When a call was, short and never ambiguous (the day number of today is
// given, so that the caller decides what "now" is): the time for a call of
// today, "Yesterday", the weekday for the five days before that, else the
// day with the month as a word ("6 Dec"), with the year when it is not this
// year's. A call dated after today shows its date.
WString recent_when_text(std::int64_t local_file_time, std::int64_t today,
                         const RecentWords& words);
// The day as recent_when_text names it, followed by the time of day: "14:05",
// "Yesterday 14:05", "Mon 14:05", "6 Dec 14:05".
WString recent_moment_text(std::int64_t local_file_time, std::int64_t today,
                           const RecentWords& words);
// "0:07", "12:34", "1:02:03"; a negative duration counts as none.
WString recent_duration_text(std::int32_t seconds);
// The length of a call that was talked; nothing for one that never
// connected (missed, rejected, not answered), where "0:00" would say nothing.
WString recent_call_duration_text(const data::CallRecord& call);
// " (3)" for a count above 1, else empty.
WString recent_count_text(int count);

// The look of the direction icon: kinds 0 to 3 as they are, any other 4.
inline constexpr int kDirectionStates = 5;
int direction_state(data::CallKind kind);

// What a row shows.
// What the row's first line shows: a name is cut at its end, a number in
// its middle, so that its last digits stay.
enum class RecentTitle : std::uint8_t { Name, Number };

struct RecentRowTexts {
    WString firstlast;
    RecentTitle title = RecentTitle::Name;
    WString count;
    WString datetime;
    WString duration;
    WString phone;
    int direction = 0;

    friend bool operator==(const RecentRowTexts&, const RecentRowTexts&) = default;
};

// --- Row ---------------------------------------------------------------------------

class RecentsListElement;

enum class RecentRowButton { Direction, Details };

// Told what a finger does on a row.
class RecentsRowListener {
  public:
    // The row itself (not one of its buttons) was tapped.
    virtual void on_row_tapped(RecentsListElement& row) = 0;
    virtual void on_row_button(RecentsListElement& row, RecentRowButton button) = 0;

  protected:
    ~RecentsRowListener() = default;
};

// Loaded from the skin's top-level node "RecentsListElement". The row takes
// its own presses: a press on one of its buttons belongs to that button, a
// press elsewhere is a tap on the row.
class RecentsListElement : public ui::ListElement, private ui::ButtonListener {
  public:
    static constexpr char16_t kSkinName[] = u"RecentsListElement";

    // Throws vadode::NodeNotFoundInSkin without the row node, and
    // vadode::NodeNotFound without one of its texts or buttons.
    RecentsListElement(const ui::Properties& skin, RecentsRowListener& listener);

    void fill(const RecentRowTexts& texts);
    // Empty texts, direction look 0.
    void clear();

    const RecentRowTexts& texts() const { return m_texts; }
    ui::ButtonNode& direction_button() const { return *m_direction; }
    ui::ButtonNode& details_button() const { return *m_details; }
    // The direction look child that shows (null when the skin has none for it).
    ui::Node* direction_look() const;

    bool on_touch(const ui::PointerEvent& event) override;
    void remove_child(ui::Node* child, std::size_t index) override;

  private:
    void on_click(ui::ButtonNode& button) override;
    void show_direction(int state);
    // The name line and its count sit above the label line; without a label
    // they move to the middle of the row.
    void place_first_line(bool alone);

    RecentsRowListener* m_listener = nullptr;
    RecentRowTexts m_texts;
    std::array<ui::TextNode*, 5> m_text_nodes{};
    // The skin's borders of "firstlast" and "count", min then max.
    std::array<std::pair<ui::Point, ui::Point>, 2> m_first_line{};
    // How the skin cuts "firstlast" when it holds a name.
    ui::Ellipsis m_name_ellipsis = ui::Ellipsis::End;
    ui::ButtonNode* m_direction = nullptr;
    ui::ButtonNode* m_details = nullptr;
    std::array<ui::Node*, kDirectionStates> m_looks{};
    bool m_row_pressed = false; // the current press is on the row itself
};

// Checks that the skin holds the row with its texts and buttons, so that
// rows can be made later without failing; throws like the row.
void check_recents_row_skin(const ui::Properties& skin);

} // namespace telvara::forms
