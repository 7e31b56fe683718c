// The favourites list layout: rows, taps and the refresh messages.
#include "forms/favorites_container.h"

#include "data/contact_entry.h"
#include "data/document.h"
#include "forms/form.h"
#include "forms/required_node.h"
#include "ui/image_node.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

namespace telvara::forms {

namespace {

WString second_line(const FavoriteTexts& texts) {
    if (texts.label.empty())
        return texts.number;
    if (texts.number.empty())
        return texts.label;
    return texts.label + u" \u00B7 " + texts.number;
}

} // namespace

// --- Row ----------------------------------------------------------------------------

FavoritesListElement::FavoritesListElement(const ui::Properties& skin) {
    if (!load_from_skin(skin, kSkinName))
        throw ui::vadode::NodeNotFoundInSkin(kSkinName);
    set_name(kSkinName);
    m_photo = &required<ui::ImageNode>(*this, u"photo");
    m_big = &required<ui::TextNode>(*this, u"big");
    m_small = &required<ui::TextNode>(*this, u"small");
    m_open = dynamic_cast<ui::ButtonNode*>(find(u"btnFav"));
    m_pressed_look = find(u"pressed");
    m_default_photo = m_photo->picture();
    show_row_pressed(false);
    // With a button inside, the row sorts out which press is whose.
    set_handles_own_presses(m_open != nullptr);
}

void FavoritesListElement::fill(const FavoriteTexts& texts, FavoritePhotos& photos,
                                std::uint32_t oid) {
    m_big->set_text(texts.name);
    m_small->set_text(second_line(texts));
    show_photo(*m_photo, m_default_photo, photos, oid);
}

void FavoritesListElement::clear() {
    m_big->set_text({});
    m_small->set_text({});
    m_photo->set_picture(m_default_photo);
}

void FavoritesListElement::show_row_pressed(bool pressed) {
    m_row_pressed = pressed;
    if (m_pressed_look != nullptr)
        m_pressed_look->set_visible(pressed);
}

bool FavoritesListElement::on_touch(const ui::PointerEvent& event) {
    if (!m_row_pressed && ui::Node::on_touch(event))
        return true;
    switch (event.kind) {
    case ui::PointerKind::Down:
        if (!event.cancelled)
            show_row_pressed(true);
        return true;
    case ui::PointerKind::Move:
        if (event.cancelled)
            show_row_pressed(false);
        return m_row_pressed;
    case ui::PointerKind::Up: {
        const bool tapped = m_row_pressed && !event.cancelled;
        show_row_pressed(false);
        if (tapped && m_on_tap)
            m_on_tap(*this);
        return true;
    }
    }
    return false;
}

// --- Container ------------------------------------------------------------------------

FavoritesContainer::FavoritesContainer() = default;

FavoritesContainer::~FavoritesContainer() = default;

void FavoritesContainer::bind(ui::Node& host, const ui::Properties& skin,
                              FavoritesListener& listener, data::ContactPhotoCache* photos) {
    ui::Node* root = host.name() == kRootName ? &host : host.find(kRootName);
    if (root == nullptr)
        throw ui::vadode::NodeNotFound(host.name(), kRootName);
    auto& list = required<ui::VirtualList>(*root, kListName);
    // A row is made now so that a skin without one fails here, not mid-frame.
    FavoritesListElement probe(skin);

    m_skin = &skin;
    m_listener = &listener;
    m_root = root;
    m_list = &list;
    m_empty = root->find(WString(kRootName) + u"_empty");
    m_photos.set_source(photos);
    m_photos.clear();
    m_document.follow();
    if (m_document != nullptr)
        drop_favorites_without_field(*m_document);
    m_list->set_adapter(this);
    m_list->data_changed();
    show_empty_state();
}

void FavoritesContainer::show_empty_state() {
    const bool empty = item_count() == 0;
    if (m_empty != nullptr)
        m_empty->set_visible(empty);
    if (m_list != nullptr)
        m_list->set_visible(!empty);
}

// --- List -----------------------------------------------------------------------------

std::int32_t FavoritesContainer::item_count() const {
    if (m_document == nullptr)
        return 0;
    return static_cast<std::int32_t>(m_document->favorites().size());
}

std::unique_ptr<ui::ListElement> FavoritesContainer::create_element() {
    return build_row(u"FavoritesContainer", m_skin, FavoritesListElement::kSkinName, [&] {
        auto row = std::make_unique<FavoritesListElement>(*m_skin);
        row->set_on_tap([this](FavoritesListElement& tapped) { call_favorite(tapped.index()); });
        if (row->open_button() != nullptr)
            row->open_button()->set_listener(this);
        return row;
    });
}

void FavoritesContainer::bind_element(ui::ListElement& element, std::int32_t index) {
    auto* row = dynamic_cast<FavoritesListElement*>(&element);
    if (row == nullptr)
        return;
    if (index < 0 || index >= item_count()) {
        row->clear();
        return;
    }
    const data::Favorite& favorite = m_document->favorites().at(std::size_t(index));
    row->fill(favorite_texts(favorite, *m_skin), m_photos, favorite.entry->oid());
}

void FavoritesContainer::element_clicked(ui::VirtualList&, std::int32_t index) {
    call_favorite(index);
}

void FavoritesContainer::call_favorite(std::int32_t index) {
    if (m_listener == nullptr || index < 0 || index >= item_count())
        return;
    const FavoriteTexts texts =
        favorite_texts(m_document->favorites().at(std::size_t(index)), *m_skin);
    // A favourite whose number was deleted from the contact has nothing to dial.
    if (!texts.number.empty())
        m_listener->on_favorite_call(texts.number);
}

void FavoritesContainer::open_favorite(std::int32_t index) {
    if (m_listener == nullptr || index < 0 || index >= item_count())
        return;
    m_listener->on_favorite_open(*m_document->favorites().at(std::size_t(index)).entry);
}

void FavoritesContainer::on_click(ui::ButtonNode& button) {
    for (ui::Node* node = &button; node != nullptr; node = node->parent()) {
        if (auto* row = dynamic_cast<FavoritesListElement*>(node)) {
            open_favorite(row->index());
            return;
        }
    }
}

// --- Document -------------------------------------------------------------------------

void FavoritesContainer::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    using data::RefreshSlot;
    if (m_list == nullptr || m_document == nullptr)
        return;
    // A contact that lost a starred number, or a load that found favourites
    // of fields no longer there: those favourites go (their own messages
    // update the list before this one goes on).
    if (message.has(RefreshFlag::ContactChanged) || message.has(RefreshFlag::RecentsComplete))
        drop_favorites_without_field(*m_document);
    const std::uint32_t slot = message.slot(RefreshSlot::FavoriteIndex);
    const auto at = static_cast<std::int32_t>(slot);
    const bool has_index = slot != data::k_no_index && at >= 0;
    bool changed = false;
    if (message.has(RefreshFlag::FavoriteAdded) && has_index) {
        // The list keeps its first row in place; one resting at its top (or
        // out of sight, as when the star was set on a card) must stay there,
        // or a favourite that sorts first lands above the view.
        const bool to_top = !m_root->is_visible() || m_list->first_visible_index() <= 0;
        m_list->item_inserted(at);
        if (to_top)
            m_list->scroll_to_item(0);
        changed = true;
    }
    if (message.has(RefreshFlag::FavoriteRemoved)) {
        if (has_index)
            m_list->item_removed(at);
        m_photos.keep_only(m_document->favorites());
        changed = true;
    }
    if (message.has(RefreshFlag::FavoriteChanged)) {
        // A renamed contact may have moved its favourites, so every row in
        // view is filled again, with the new photo.
        m_photos.forget(message.slot(RefreshSlot::ContactOid));
        if (const auto index = std::size_t(at); has_index && index < m_document->favorites().size())
            if (const data::ContactEntry* entry = m_document->favorites().at(index).entry)
                m_photos.forget(entry->oid());
        m_list->data_changed();
    }
    if (message.has(RefreshFlag::ListsRebuilt) || message.has(RefreshFlag::RecentsComplete)) {
        m_list->data_changed();
        changed = true;
    }
    // The list's own count must follow the Document even when the index
    // slot was unusable.
    if (changed && m_list->item_count() != item_count())
        m_list->data_changed();
    if (changed)
        show_empty_state();
}

} // namespace telvara::forms
