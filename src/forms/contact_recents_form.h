#pragma once
// ContactRecentsForm: the calls of one contact (or of one number no contact
// has), one row per call under a head row with the contact's names, with
// its own filter, a delete mode that shows a remove button on every call
// and marks the calls tapped (deleted when the mode is ended with its check
// button), and a delete-all of the calls shown. A modal form on the form
// stack.

#include "data/call_record.h"
#include "data/contact_record.h"
#include "data/document.h"
#include "data/refresh_message.h"
#include "forms/document_subscription.h"
#include "forms/favorites_common.h"
#include "forms/form.h"
#include "forms/recents_container.h"
#include "platform/text.h"
#include "ui/button_node.h"
#include "ui/menu_provider.h"
#include "ui/picture.h"
#include "ui/vlist.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace telvara::ui {
class Multinode;
class PopupMenu;
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::phone {
class CallLog;
}

namespace telvara::data {
class ContactPhotoCache;
}

namespace telvara::forms {

class ContactRecentsForm final : public Form,
                                 private data::DocumentListener,
                                 private ui::ListAdapter,
                                 private ui::ButtonListener,
                                 private ui::MenuProvider {
  public:
    static constexpr char16_t kSkinName[] = u"ContactRecentsForm";
    static constexpr char16_t kHeadName[] = u"SimpleContactHead";
    static constexpr char16_t kCallName[] = u"SimpleRecentsListElement";

    ContactRecentsForm();
    ~ContactRecentsForm() override;

    // Loads "ContactRecentsForm" and finds "cancel", "padding", "edit_mode"
    // (a multinode: look 0 off, 1 on), "List" and the optional texts
    // "calls_empty" (shown while no call passes the filter) and
    // "calls_title" (named after the filter); checks that both row nodes
    // are in the skin. Throws the vadode errors. Calls are placed through
    // `caller`; deletions go to `call_log` (none: nothing is deleted). The
    // head shows the contact's photo from `photos` when there is one.
    void bind(const ui::Properties& skin, RecentsCaller& caller, phone::CallLog* call_log,
              data::ContactPhotoCache* photos = nullptr);

    // The calls of a contact, or of a number without one; rebuilds and
    // pushes the form.
    void show_for_contact(const data::ContactRecord& contact);
    void show_for_number(WStringView number);

    // Rebuilds from the Document's calls (newest on top); the list jumps to
    // the top.
    void rebuild();

    RecentsFilter filter() const { return m_filter; }
    // The clock that says which day is today (local day number); tests set
    // their own.
    void set_today(RecentsContainer::TodayFunction today) {
        m_today = today != nullptr ? today : &local_today;
    }
    bool delete_mode() const { return m_delete_mode; }
    bool number_bound() const { return m_number_bound; }
    // The Document's indexes of the calls shown, top first (row i + 1).
    const std::vector<std::size_t>& entries() const { return m_entries; }
    ui::VirtualList* list() const { return m_list; }
    ui::Multinode* edit_mode() const { return m_edit_mode; }
    ui::PopupMenu* menu() const { return m_menu; }

    // The form's menu (public for the host's tests and keys).
    void on_menu(ui::PopupMenu& menu, WStringView key, ui::ChoiceMenu& items) override;
    void on_document_refresh(const data::RefreshMessage& message) override;

    // A finger on call row `index` (above 0) outside its buttons: places a
    // call, or in delete mode marks the call (or takes the mark away).
    void row_tapped(std::int32_t index);
    // Whether call row `index` is marked for deletion.
    bool is_marked(std::int32_t index) const;
    // The edit switch tapped: opens the menu, or ends delete mode, deleting
    // the marked calls.
    void edit_switch_tapped();

  private:
    // ListAdapter.
    std::int32_t item_count() const override;
    std::unique_ptr<ui::ListElement> create_element() override;
    void bind_element(ui::ListElement& element, std::int32_t index) override;
    void element_clicked(ui::VirtualList& list, std::int32_t index) override;
    // ButtonListener.
    void on_click(ui::ButtonNode& button) override;

    void show();
    bool belongs(const data::RecentCall& call) const;
    void fill_head(ui::ListElement& element);
    void fill_call(ui::ListElement& element, std::size_t entry, bool animate);
    void refresh_rows();
    void set_edit_mode(int look);
    void delete_entries(std::vector<std::size_t> indexes);
    void delete_marked();
    bool is_marked_call(const data::CallRecord& call) const;
    std::int32_t row_of(ui::Node& node) const;

    DocumentSubscription m_document{*this};
    const ui::Properties* m_skin = nullptr;
    RecentsCaller* m_caller = nullptr;
    phone::CallLog* m_call_log = nullptr;
    // The head's photo, round like the favourites' and asked for at the
    // mask's own size, so it shows right away at the screen's scale.
    FavoritePhotos m_photos;
    // The skin's picture of the head's "photo", for contacts without one.
    ui::Picture m_default_photo;
    ui::ButtonNode* m_cancel = nullptr;
    ui::Node* m_padding = nullptr;
    ui::Multinode* m_edit_mode = nullptr;
    ui::VirtualList* m_list = nullptr;
    // What shows under the head while no call passes the filter (optional).
    ui::TextNode* m_calls_empty = nullptr;
    // The optional title "calls_title", named after the filter.
    ui::TextNode* m_title = nullptr;
    ui::PopupMenu* m_menu = nullptr;

    data::ContactRecord m_contact;
    WString m_number;
    bool m_number_bound = false;
    RecentsFilter m_filter = RecentsFilter::All;
    // The skin's language's words, taken at binding.
    RecentWords m_words;
    RecentsContainer::TodayFunction m_today = &local_today;
    bool m_delete_mode = false;
    std::vector<std::size_t> m_entries;
    // The calls marked in delete mode, by what names a call in the log (its
    // number and start): indexes move whenever the log changes.
    struct CallId {
        WString number;
        std::int64_t time = 0;
        friend bool operator==(const CallId&, const CallId&) = default;
    };
    std::vector<CallId> m_marked;
};

} // namespace telvara::forms
