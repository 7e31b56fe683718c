#pragma once
// RecentsContainer: the recents tab of the main screen. Groups the
// Document's recent calls per day, number and kind (newest group on top),
// shows them in "RecentsList" with one RecentsListElement per group and the
// empty state when there are none, follows the Document's refresh messages,
// keeps the tab's filter, and answers the recents menu (filter, delete all
// shown calls). What a finger asks of a call goes to its listener.

#include "data/document.h"
#include "data/recent_calls.h"
#include "data/refresh_message.h"
#include "forms/document_subscription.h"
#include "forms/recents_list_element.h"
#include "platform/text.h"
#include "ui/button_node.h"
#include "ui/choice_item.h"
#include "ui/vlist.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace telvara::ui {
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::phone {
class CallLog;
}

namespace telvara::forms {

// Which calls a recents screen shows.
enum class RecentsFilter : int { All = -1, Incoming = 0, Outgoing = 1, Rejected = 2 };

// Incoming is kind 0, outgoing kind 2, every other kind counts as rejected.
bool passes(RecentsFilter filter, data::CallKind kind);

// The filter a menu key chooses ("menuAllCalls", "menuIncoming",
// "menuOutgoing", "menuRejected"); false for any other key.
bool filter_for_key(WStringView key, RecentsFilter& filter);
// The items of "menuFilter": the four filters, the current one checked, then
// "Cancel".
void add_filter_items(ui::ChoiceMenu& items, RecentsFilter current);
// The language key that says a list of calls under `filter` is empty: no
// calls at all, or none of the chosen kind.
const char16_t* empty_calls_key(RecentsFilter filter);
// The language key of the title of a list of calls under `filter`: the
// recents, or the kind of calls the filter shows.
const char16_t* recents_title_key(RecentsFilter filter);

// The texts of a row made from one call: the contact's display name and the
// translated label of its number, or the number alone; when it was, dated
// with `words` against `today` (a local day number); the duration of a call
// that was talked; the count.
RecentRowTexts make_row_texts(const data::RecentCall& call, int count,
                              const data::Document* document, const ui::Properties& skin,
                              std::int64_t today, const RecentWords& words);

// The local day number of now.
std::int64_t local_today();

// Places calls for the recents screens (the host hands the number to the
// phone layer).
class RecentsCaller {
  public:
    // A tap on a call's row (or Enter on it): place a call to this number.
    virtual void on_call_recent(WStringView number) = 0;

  protected:
    ~RecentsCaller() = default;
};

class RecentsListener : public RecentsCaller {
  public:
    // "direction": the call becomes the selected one; its menu is
    // "RecentClickKnownContact" when call.oid != 0, else
    // "RecentClickUnknownContact". `index` is its place in the Document's
    // recent calls.
    virtual void on_recent_call_menu(const data::RecentCall& call, std::size_t index) = 0;
    // "btnRecents": the calls of the call's contact (or of its number when
    // call.oid == 0).
    virtual void on_open_recents(const data::RecentCall& call, std::size_t index) = 0;
    // The tab's menu button: the recents menu ("MainMenu" of recents_menu).
    virtual void on_recents_menu_button() {}

  protected:
    ~RecentsListener() = default;
};

class RecentsContainer : private data::DocumentListener,
                         private ui::ListAdapter,
                         private RecentsRowListener,
                         private ui::ButtonListener {
  public:
    // One row: `count` calls whose newest is the Document's call
    // `reference`.
    struct Group {
        int count = 1;
        std::size_t reference = 0;
        RecentRowTexts texts;
    };

    RecentsContainer();
    // Leaves the Document's listeners; touches no node.
    ~RecentsContainer() override;
    RecentsContainer(const RecentsContainer&) = delete;
    RecentsContainer& operator=(const RecentsContainer&) = delete;

    // Finds "RecentsContainer" below `host` and its "RecentsList" (the empty
    // state "RecentsContainer_empty" is optional, and so is its text
    // "RecentsContainer_empty_text", which names the filter's kind of calls
    // when that filter leaves none; so are the title "RecentsContainer_title",
    // which names the filter, and the menu button "RecentsContainer_menu");
    // rows are made from the
    // skin's top-level "RecentsListElement". Throws vadode::NodeNotFound (or
    // NodeNotFoundInSkin for the row) when one is missing; a throw leaves the
    // previous binding as it was. The skin must outlive the binding. Builds
    // the groups.
    void bind(ui::Node& host, const ui::Properties& skin, RecentsListener& listener);

    // Where "ReallyDelete" deletes; without one nothing is deleted.
    void set_call_log(phone::CallLog* call_log) { m_call_log = call_log; }
    // The clock that says which day is today (local day number); tests set
    // their own.
    using TodayFunction = std::int64_t (*)();
    void set_today(TodayFunction today) { m_today = today != nullptr ? today : &local_today; }

    RecentsFilter filter() const { return m_filter; }
    // Rebuilds when it changes.
    void set_filter(RecentsFilter filter);

    // The recents menu: fills `items` for "MainMenu", "menuFilter" and
    // "menuDeleteAll", performs the filter keys and "ReallyDelete". True
    // when the key was one of these; false leaves it to the caller.
    bool recents_menu(WStringView key, ui::ChoiceMenu& items);

    // Groups all calls that pass the filter again; the list jumps to the top.
    void rebuild();

    const std::vector<Group>& groups() const { return m_groups; }
    ui::Node* root() const { return m_root; }
    ui::VirtualList* list() const { return m_list; }
    ui::Node* empty_state() const { return m_empty; }
    ui::TextNode* title() const { return m_title; }
    ui::ButtonNode* menu_button() const { return m_menu_button; }

    // The Document's message (public so that a host may forward it).
    void on_document_refresh(const data::RefreshMessage& message) override;

  private:
    // ListAdapter.
    std::int32_t item_count() const override;
    std::unique_ptr<ui::ListElement> create_element() override;
    void bind_element(ui::ListElement& element, std::int32_t index) override;
    void element_clicked(ui::VirtualList& list, std::int32_t index) override;
    // RecentsRowListener.
    void on_row_tapped(RecentsListElement& row) override;
    void on_row_button(RecentsListElement& row, RecentRowButton button) override;
    // ButtonListener: the menu button.
    void on_click(ui::ButtonNode& button) override;

    // Steps 2 and 3 of the grouping for the Document's call `index`;
    // returns the group's old position, or -1 for a new group.
    std::ptrdiff_t add_call(std::size_t index, std::int64_t today);
    RecentRowTexts texts_of(std::size_t index, int count, std::int64_t today) const;
    void call_added(std::size_t index);
    void call_changed(std::size_t index);
    void refresh_row(std::int32_t row);
    void update_empty_state();
    void update_title();
    const Group* group_at(std::int32_t row) const;
    void delete_shown();

    DocumentSubscription m_document{*this};
    const ui::Properties* m_skin = nullptr;
    RecentsListener* m_listener = nullptr;
    phone::CallLog* m_call_log = nullptr;
    TodayFunction m_today = &local_today;
    ui::Node* m_root = nullptr;
    ui::VirtualList* m_list = nullptr;
    ui::Node* m_empty = nullptr;
    ui::TextNode* m_empty_text = nullptr;
    ui::TextNode* m_title = nullptr;
    ui::ButtonNode* m_menu_button = nullptr;
    RecentsFilter m_filter = RecentsFilter::All;
    // The skin's language's words, taken at binding (a language change binds again).
    RecentWords m_words;
    std::vector<Group> m_groups; // top row first
};

} // namespace telvara::forms
