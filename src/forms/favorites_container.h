#pragma once
// FavoritesContainer: the favourites tab in its list layout. One
// FavoritesListElement per favourite ("photo", "big" = name, "small" = the
// number's label and the number, "btnFav"); a tap on the row calls the
// number, "btnFav" opens the contact's card. Follows the Document's refresh
// messages; the "<root>_empty" node shows while there are no favourites.
// It also keeps the Document free of favourites whose field is gone.

#include "data/refresh_message.h"
#include "forms/document_subscription.h"
#include "forms/favorites_common.h"
#include "ui/button_node.h"
#include "ui/vlist.h"

#include <functional>

namespace telvara::data {
class Document;
}

namespace telvara::ui {
class ImageNode;
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

// One row. Buttons in it take their own presses; a press anywhere else is
// the row's, shown by its optional "pressed" child, and reported on release.
class FavoritesListElement : public ui::ListElement {
  public:
    static constexpr char16_t kSkinName[] = u"FavoritesListElement";

    // Throws vadode::NodeNotFoundInSkin without the row node, and
    // vadode::NodeNotFound without "photo", "big" or "small".
    explicit FavoritesListElement(const ui::Properties& skin);

    void fill(const FavoriteTexts& texts, FavoritePhotos& photos, std::uint32_t oid);
    void clear();
    void set_on_tap(std::function<void(FavoritesListElement&)> on_tap) {
        m_on_tap = std::move(on_tap);
    }

    ui::ImageNode& photo() const { return *m_photo; }
    ui::TextNode& big() const { return *m_big; }
    ui::TextNode& small() const { return *m_small; }
    ui::ButtonNode* open_button() const { return m_open; }
    bool row_pressed() const { return m_row_pressed; }

    bool on_touch(const ui::PointerEvent& event) override;

  private:
    void show_row_pressed(bool pressed);

    ui::ImageNode* m_photo = nullptr;
    ui::TextNode* m_big = nullptr;
    ui::TextNode* m_small = nullptr;
    ui::ButtonNode* m_open = nullptr;
    ui::Node* m_pressed_look = nullptr;
    ui::Picture m_default_photo;
    bool m_row_pressed = false;
    std::function<void(FavoritesListElement&)> m_on_tap;
};

class FavoritesContainer : private data::DocumentListener,
                           private ui::ListAdapter,
                           private ui::ButtonListener {
  public:
    static constexpr char16_t kRootName[] = u"FavoritesContainer";
    static constexpr char16_t kListName[] = u"FavoritesList";

    FavoritesContainer();
    // Leaves the Document's listeners; touches no node.
    ~FavoritesContainer() override;
    FavoritesContainer(const FavoritesContainer&) = delete;
    FavoritesContainer& operator=(const FavoritesContainer&) = delete;

    // Finds "FavoritesContainer" below `host` (or `host` itself) and its
    // "FavoritesList"; throws vadode::NodeNotFound (NodeNotFoundInSkin for
    // the row) when one is missing, leaving an earlier binding as it was.
    // The skin, the tree and `photos` (null: default pictures only) must
    // outlive the binding.
    void bind(ui::Node& host, const ui::Properties& skin, FavoritesListener& listener,
              data::ContactPhotoCache* photos = nullptr);

    ui::Node* root() const { return m_root; }
    ui::VirtualList* list() const { return m_list; }
    FavoritePhotos& photos() { return m_photos; }

    // Public so that a host may forward it.
    void on_document_refresh(const data::RefreshMessage& message) override;

    // Row `index` tapped: calls its number (nothing past the end or without
    // a number).
    void call_favorite(std::int32_t index);
    void open_favorite(std::int32_t index);

  private:
    // ListAdapter.
    std::int32_t item_count() const override;
    std::unique_ptr<ui::ListElement> create_element() override;
    void bind_element(ui::ListElement& element, std::int32_t index) override;
    void element_clicked(ui::VirtualList& list, std::int32_t index) override;
    // ButtonListener.
    void on_click(ui::ButtonNode& button) override;

    void show_empty_state();

    DocumentSubscription m_document{*this};
    const ui::Properties* m_skin = nullptr;
    FavoritesListener* m_listener = nullptr;
    ui::Node* m_root = nullptr;
    ui::VirtualList* m_list = nullptr;
    ui::Node* m_empty = nullptr;
    FavoritePhotos m_photos;
};

} // namespace telvara::forms
