// The recents row: its texts and direction look, the taps on the row and on
// its two buttons, and the time, date and duration texts of a call.
#include "forms/recents_list_element.h"

#include "data/civil_date.h"

#include "ui/alphabet_ruler.h"
#include "ui/date_format.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

namespace telvara::forms {

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kTicksPerDay = kTicksPerSecond * kSecondsPerDay;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDays1601To1970 = 134'774;

constexpr std::array<const char16_t*, 5> kTextNames = {u"firstlast", u"count", u"datetime",
                                                       u"duration", u"phone"};
constexpr char16_t kDirection[] = u"direction";
constexpr char16_t kDetails[] = u"btnRecents";
// Shown while a finger is on the row (the list shows no press look for rows
// that take their own presses).
constexpr char16_t kRowPressed[] = u"row_pressed";

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// The date of a day count since 1970-01-01, as the date words want it.
ui::CalendarDate calendar_date(std::int64_t days) {
    const data::CivilDate date = data::civil_from_days(days);
    return {static_cast<int>(date.year), static_cast<int>(date.month), static_cast<int>(date.day)};
}

void append_two_digits(WString& out, std::int64_t value) {
    out.push_back(static_cast<char16_t>(u'0' + value / 10 % 10));
    out.push_back(static_cast<char16_t>(u'0' + value % 10));
}

WString number_text(std::int64_t value) {
    return from_utf8(std::to_string(value));
}

} // namespace

// --- Texts ---------------------------------------------------------------------------

std::int64_t local_day_number(std::int64_t local_file_time) {
    return floor_div(local_file_time, kTicksPerDay);
}

WString recent_time_text(std::int64_t local_file_time) {
    const std::int64_t seconds = floor_div(local_file_time, kTicksPerSecond) -
                                 local_day_number(local_file_time) * kSecondsPerDay;
    WString out;
    append_two_digits(out, seconds / 3600);
    out.push_back(u':');
    append_two_digits(out, seconds / 60 % 60);
    return out;
}

RecentWords recent_words(const std::function<WString(WStringView)>& translate) {
    RecentWords words;
    words.dates = ui::date_words(translate);
    words.yesterday = translate ? translate(u"skinYesterday") : WString(u"Yesterday");
    return words;
}

WString recent_when_text(std::int64_t local_file_time, std::int64_t today,
                         const RecentWords& words) {
    const std::int64_t day = local_day_number(local_file_time);
    if (day == today)
        return recent_time_text(local_file_time);
    if (day == today - 1)
        return words.yesterday;
    const ui::CalendarDate date = calendar_date(day - kDays1601To1970);
    // A weekday names one day only within the week before yesterday; the same
    // weekday a week ago would read as today's.
    if (day < today - 1 && day >= today - 6)
        return ui::format_date_picture(date, u"ddd", words.dates);
    const bool this_year = calendar_date(today - kDays1601To1970).year == date.year;
    return ui::format_date_picture(
        date, this_year ? words.dates.short_date : words.dates.short_date_year, words.dates);
}

WString recent_moment_text(std::int64_t local_file_time, std::int64_t today,
                           const RecentWords& words) {
    if (local_day_number(local_file_time) == today)
        return recent_time_text(local_file_time);
    return recent_when_text(local_file_time, today, words) + u" " +
           recent_time_text(local_file_time);
}

WString recent_call_duration_text(const data::CallRecord& call) {
    if (call.kind != data::CallKind::Incoming && call.kind != data::CallKind::Outgoing)
        return {};
    if (call.duration <= 0)
        return {};
    return recent_duration_text(call.duration);
}

WString recent_duration_text(std::int32_t seconds) {
    const std::int64_t s = seconds > 0 ? seconds : 0;
    WString out;
    if (s >= 3600) {
        out = number_text(s / 3600);
        out.push_back(u':');
        append_two_digits(out, s / 60 % 60);
    } else {
        out = number_text(s / 60);
    }
    out.push_back(u':');
    append_two_digits(out, s % 60);
    return out;
}

WString recent_count_text(int count) {
    if (count <= 1)
        return {};
    return u" (" + number_text(count) + u")";
}

int direction_state(data::CallKind kind) {
    const auto value = static_cast<std::uint32_t>(kind);
    return value <= 3 ? static_cast<int>(value) : 4;
}

// --- Row ------------------------------------------------------------------------------

void check_recents_row_skin(const ui::Properties& skin) {
    const ui::NodeRecord row = skin.find_node(RecentsListElement::kSkinName);
    if (!row)
        throw ui::vadode::NodeNotFoundInSkin(WString(RecentsListElement::kSkinName));
    for (const char16_t* name : kTextNames)
        if (!ui::find_child_record(skin, row, name))
            throw ui::vadode::NodeNotFound(WString(RecentsListElement::kSkinName), name);
    for (const char16_t* name : {kDirection, kDetails})
        if (!ui::find_child_record(skin, row, name))
            throw ui::vadode::NodeNotFound(WString(RecentsListElement::kSkinName), name);
}

RecentsListElement::RecentsListElement(const ui::Properties& skin, RecentsRowListener& listener)
    : m_listener(&listener) {
    check_recents_row_skin(skin);
    load_from_skin(skin, kSkinName);
    for (std::size_t i = 0; i < kTextNames.size(); ++i) {
        m_text_nodes[i] = dynamic_cast<ui::TextNode*>(find(kTextNames[i]));
        if (m_text_nodes[i] == nullptr)
            throw ui::vadode::NodeNotFound(WString(kSkinName), kTextNames[i]);
    }
    m_name_ellipsis = m_text_nodes[0]->ellipsis_mode();
    m_direction = dynamic_cast<ui::ButtonNode*>(find(kDirection));
    m_details = dynamic_cast<ui::ButtonNode*>(find(kDetails));
    if (m_direction == nullptr)
        throw ui::vadode::NodeNotFound(WString(kSkinName), kDirection);
    if (m_details == nullptr)
        throw ui::vadode::NodeNotFound(WString(kSkinName), kDetails);
    m_direction->set_listener(this);
    m_details->set_listener(this);
    static constexpr std::array<const char16_t*, kDirectionStates> kLooks = {
        u"state0", u"state1", u"state2", u"state3", u"state4"};
    for (std::size_t i = 0; i < kLooks.size(); ++i)
        m_looks[i] = m_direction->find(kLooks[i]);
    if (ui::Node* pressed = find(kRowPressed))
        pressed->set_visible(false);
    for (std::size_t i = 0; i < m_first_line.size(); ++i)
        m_first_line[i] = {m_text_nodes[i]->border_min(), m_text_nodes[i]->border_max()};
    set_handles_own_presses(true);
    clear();
}

void RecentsListElement::place_first_line(bool alone) {
    for (std::size_t i = 0; i < m_first_line.size(); ++i) {
        auto [top, bottom] = m_first_line[i];
        if (alone) {
            // Equal room above and below, the height kept.
            top.y = bottom.y = (top.y + bottom.y) / 2;
        }
        // Without a count the name reaches to where the count would end.
        if (i == 0 && m_texts.count.empty())
            bottom.x = m_first_line[1].second.x;
        ui::TextNode& node = *m_text_nodes[i];
        const auto same = [](ui::Point a, ui::Point b) { return a.x == b.x && a.y == b.y; };
        if (!same(node.border_min(), top) || !same(node.border_max(), bottom))
            node.set_borders(top, bottom);
    }
}

void RecentsListElement::fill(const RecentRowTexts& texts) {
    m_texts = texts;
    const std::array<const WString*, 5> values = {&texts.firstlast, &texts.count, &texts.datetime,
                                                  &texts.duration, &texts.phone};
    for (std::size_t i = 0; i < m_text_nodes.size(); ++i)
        if (m_text_nodes[i] != nullptr && m_text_nodes[i]->text() != *values[i])
            m_text_nodes[i]->set_text(*values[i]);
    if (ui::TextNode* title = m_text_nodes[0]) {
        title->set_ellipsis(texts.title == RecentTitle::Number ? ui::Ellipsis::Middle
                                                               : m_name_ellipsis);
    }
    place_first_line(texts.phone.empty());
    show_direction(texts.direction);
    mark_redraw();
}

void RecentsListElement::clear() {
    fill(RecentRowTexts{});
}

ui::Node* RecentsListElement::direction_look() const {
    const int state = m_texts.direction;
    if (state < 0 || state >= kDirectionStates)
        return nullptr;
    return m_looks[static_cast<std::size_t>(state)];
}

void RecentsListElement::show_direction(int state) {
    if (state < 0 || state >= kDirectionStates)
        state = kDirectionStates - 1;
    m_texts.direction = state;
    ui::Node* wanted = m_looks[static_cast<std::size_t>(state)];
    for (ui::Node* look : m_looks)
        if (look != nullptr)
            look->set_visible(look == wanted);
}

bool RecentsListElement::on_touch(const ui::PointerEvent& event) {
    ui::Node* pressed_look = find(kRowPressed);
    const auto show_pressed = [pressed_look](bool on) {
        if (pressed_look != nullptr)
            pressed_look->set_visible(on);
    };
    if (event.kind == ui::PointerKind::Down) {
        // A button under the finger takes the press; elsewhere it is the row's.
        m_row_pressed = !ui::ListElement::on_touch(event);
        show_pressed(m_row_pressed && !event.cancelled);
        return true;
    }
    if (!m_row_pressed) {
        ui::ListElement::on_touch(event);
        return true;
    }
    if (event.kind == ui::PointerKind::Move) {
        show_pressed(!event.cancelled && hit_test({event.x, event.y}));
        return true;
    }
    m_row_pressed = false;
    show_pressed(false);
    // Last: the listener may rebuild the list this row belongs to.
    if (!event.cancelled && hit_test({event.x, event.y}) && m_listener != nullptr)
        m_listener->on_row_tapped(*this);
    return true;
}

void RecentsListElement::on_click(ui::ButtonNode& button) {
    if (m_listener == nullptr)
        return;
    if (&button == m_direction)
        m_listener->on_row_button(*this, RecentRowButton::Direction);
    else if (&button == m_details)
        m_listener->on_row_button(*this, RecentRowButton::Details);
}

void RecentsListElement::remove_child(ui::Node* child, std::size_t index) {
    for (auto& text : m_text_nodes)
        if (text == child)
            text = nullptr;
    if (child == m_direction) {
        m_direction = nullptr;
        m_looks.fill(nullptr);
    }
    if (child == m_details)
        m_details = nullptr;
    ui::ListElement::remove_child(child, index);
}

} // namespace telvara::forms
