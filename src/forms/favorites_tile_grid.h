#pragma once
// FavoritesTileGrid: the favourites tab as a grid of tiles. Each list row
// ("FavoritesList2") holds as many "FavoritesItem" tiles as fit across the
// list; a tile shows "photo", "text1" (name) and "text2" (the number's
// label); its "btnContact" calls the number, its "btnFav" opens the card.

#include "data/refresh_message.h"
#include "forms/document_subscription.h"
#include "forms/favorites_common.h"
#include "ui/button_node.h"
#include "ui/vlist.h"

#include <vector>

namespace telvara::data {
class Document;
}

namespace telvara::ui {
class ImageNode;
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

// Tiles across a list `list_width` pixels wide for tiles `tile_width` wide
// (integer division, at least one).
std::int32_t tiles_per_row(std::int32_t list_width, std::int32_t tile_width);
// Rows for `count` favourites, the last one possibly part-filled.
std::int32_t tile_rows(std::int32_t count, std::int32_t per_row);

// One tile, built from the skin's top-level "FavoritesItem".
class FavoriteTile : public ui::Node {
  public:
    static constexpr char16_t kSkinName[] = u"FavoritesItem";

    // Throws vadode::NodeNotFoundInSkin without the tile node, and
    // vadode::NodeNotFound without "photo", "text1" or "text2".
    explicit FavoriteTile(const ui::Properties& skin);

    void fill(std::int32_t favorite, const FavoriteTexts& texts, FavoritePhotos& photos,
              std::uint32_t oid);
    // No favourite: the tile is hidden.
    void clear();
    // The favourite shown, -1 for none.
    std::int32_t favorite() const { return m_favorite; }

    ui::ImageNode& photo() const { return *m_photo; }
    ui::TextNode& text1() const { return *m_text1; }
    ui::TextNode& text2() const { return *m_text2; }
    ui::ButtonNode* call_button() const { return m_call; }
    ui::ButtonNode* open_button() const { return m_open; }

  private:
    ui::ImageNode* m_photo = nullptr;
    ui::TextNode* m_text1 = nullptr;
    ui::TextNode* m_text2 = nullptr;
    ui::ButtonNode* m_call = nullptr;
    ui::ButtonNode* m_open = nullptr;
    ui::Picture m_default_photo;
    std::int32_t m_favorite = -1;
};

// A row of tiles, each as wide as the row divided by the tile count.
class FavoritesTileRow : public ui::ListElement {
  public:
    FavoritesTileRow(const ui::Properties& skin, std::int32_t tiles, ui::ButtonListener& buttons);

    std::size_t tile_count() const { return m_tiles.size(); }
    FavoriteTile& tile(std::size_t slot) const { return *m_tiles.at(slot); }
    // Adds or removes tiles to have `tiles` of them.
    void set_tile_count(std::int32_t tiles);

    void layout_x() override;
    void layout_y() override;
    void measure_y(ui::Measure& measure) override;
    void remove_child(ui::Node* child, std::size_t index) override;

  private:
    const ui::Properties& m_skin;
    ui::ButtonListener& m_buttons;
    std::vector<FavoriteTile*> m_tiles;
};

class FavoritesTileGrid : private data::DocumentListener,
                          private ui::ListAdapter,
                          private ui::ButtonListener,
                          private ui::NodeObserver {
  public:
    static constexpr char16_t kRootName[] = u"FavoritesContainer2";
    static constexpr char16_t kListName[] = u"FavoritesList2";

    FavoritesTileGrid();
    // Leaves the Document's listeners; touches no node.
    ~FavoritesTileGrid() override;
    FavoritesTileGrid(const FavoritesTileGrid&) = delete;
    FavoritesTileGrid& operator=(const FavoritesTileGrid&) = delete;

    // Finds "FavoritesContainer2" below `host` (or `host` itself) and its
    // "FavoritesList2"; throws vadode::NodeNotFound (NodeNotFoundInSkin for
    // the tile) when one is missing, leaving an earlier binding as it was.
    // The tiles per row come from the list's width now and again whenever
    // the list is laid out at another width (a turned screen). The skin, the
    // tree and `photos` (null: default pictures only) must outlive the
    // binding.
    void bind(ui::Node& host, const ui::Properties& skin, FavoritesListener& listener,
              data::ContactPhotoCache* photos = nullptr);

    ui::Node* root() const { return m_root; }
    ui::VirtualList* list() const { return m_list; }
    FavoritePhotos& photos() { return m_photos; }
    std::int32_t per_row() const { return m_per_row; }
    std::int32_t tile_width() const { return m_tile_width; }
    // Times a row of tiles was filled since binding (what refreshes cost).
    std::int64_t rows_filled() const { return m_rows_filled; }

    // Public so that a host may forward it.
    void on_document_refresh(const data::RefreshMessage& message) override;

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
    // NodeObserver.
    void node_placed_x(ui::Node& node, std::int32_t width) override;
    void node_placed_y(ui::Node&, std::int32_t) override {}

    std::int32_t favorite_count() const;
    void refresh_row(std::int32_t row);
    void remember_order();
    bool order_changed() const;
    void show_empty_state();

    DocumentSubscription m_document{*this};
    const ui::Properties* m_skin = nullptr;
    FavoritesListener* m_listener = nullptr;
    ui::Node* m_root = nullptr;
    ui::VirtualList* m_list = nullptr;
    ui::Node* m_empty = nullptr;
    std::int32_t m_tile_width = 1;
    std::int32_t m_per_row = 1;
    std::int64_t m_rows_filled = 0;
    // The favourites as last shown, to tell a changed name that moved them.
    std::vector<data::FavoriteLine> m_order;
    FavoritePhotos m_photos;
};

} // namespace telvara::forms
