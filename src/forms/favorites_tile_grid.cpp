// The favourites grid layout: tiles, rows of tiles, taps and the refresh
// messages.
#include "forms/favorites_tile_grid.h"

#include "data/contact_entry.h"
#include "data/document.h"
#include "forms/form.h"
#include "forms/required_node.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/image_node.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <algorithm>

namespace telvara::forms {

namespace {

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

// The width the list will have: its own once laid out, before that the
// nearest laid-out ancestor's, else the nearest design width (the screen's).
std::int32_t expected_width(const ui::Node& list) {
    for (const ui::Node* node = &list; node != nullptr; node = node->parent())
        if (node->width() > 0)
            return node->width();
    for (const ui::Node* node = &list; node != nullptr; node = node->parent())
        if (node->design_size(ui::Axis::X) > 0)
            return node->design_size(ui::Axis::X);
    return 0;
}

} // namespace

std::int32_t tiles_per_row(std::int32_t list_width, std::int32_t tile_width) {
    if (tile_width <= 0 || list_width <= 0)
        return 1;
    return std::max(1, list_width / tile_width);
}

std::int32_t tile_rows(std::int32_t count, std::int32_t per_row) {
    if (count <= 0)
        return 0;
    per_row = std::max(1, per_row);
    return (count + per_row - 1) / per_row;
}

// --- Tile -----------------------------------------------------------------------------

FavoriteTile::FavoriteTile(const ui::Properties& skin) {
    if (!load_from_skin(skin, kSkinName))
        throw ui::vadode::NodeNotFoundInSkin(kSkinName);
    set_name(kSkinName);
    m_photo = &required<ui::ImageNode>(*this, u"photo");
    m_text1 = &required<ui::TextNode>(*this, u"text1");
    m_text2 = &required<ui::TextNode>(*this, u"text2");
    m_call = dynamic_cast<ui::ButtonNode*>(find(u"btnContact"));
    m_open = dynamic_cast<ui::ButtonNode*>(find(u"btnFav"));
    m_default_photo = m_photo->picture();
}

void FavoriteTile::fill(std::int32_t favorite, const FavoriteTexts& texts, FavoritePhotos& photos,
                        std::uint32_t oid) {
    m_favorite = favorite;
    m_text1->set_text(texts.name);
    m_text2->set_text(texts.label.empty() ? texts.number : texts.label);
    show_photo(*m_photo, m_default_photo, photos, oid);
    set_visible(true);
}

void FavoriteTile::clear() {
    m_favorite = -1;
    m_text1->set_text({});
    m_text2->set_text({});
    m_photo->set_picture(m_default_photo);
    set_visible(false);
}

// --- Row of tiles -------------------------------------------------------------------------

FavoritesTileRow::FavoritesTileRow(const ui::Properties& skin, std::int32_t tiles,
                                   ui::ButtonListener& buttons)
    : m_skin(skin), m_buttons(buttons) {
    set_name(u"FavoritesList2Row");
    set_handles_own_presses(true);
    set_tile_count(tiles);
}

void FavoritesTileRow::set_tile_count(std::int32_t tiles) {
    tiles = std::max(1, tiles);
    while (std::int32_t(m_tiles.size()) > tiles)
        remove_child(m_tiles.back(), child_count() - 1);
    while (std::int32_t(m_tiles.size()) < tiles) {
        auto tile = std::make_unique<FavoriteTile>(m_skin);
        if (tile->call_button() != nullptr)
            tile->call_button()->set_listener(&m_buttons);
        if (tile->open_button() != nullptr)
            tile->open_button()->set_listener(&m_buttons);
        m_tiles.push_back(tile.get());
        append_child(std::move(tile));
    }
    set_element_size(m_tiles.front()->design_size(ui::Axis::Y));
    mark_layout();
}

void FavoritesTileRow::remove_child(ui::Node* child, std::size_t index) {
    std::erase(m_tiles, child);
    ui::ListElement::remove_child(child, index);
}

void FavoritesTileRow::layout_x() {
    if (m_tiles.empty())
        return;
    // The tiles share the row; the remainder goes to the first ones.
    const auto count = std::int32_t(m_tiles.size());
    const std::int32_t base = width() / count;
    std::int32_t extra = width() % count;
    std::int32_t left = x();
    for (FavoriteTile* tile : m_tiles) {
        const std::int32_t w = base + (extra > 0 ? 1 : 0);
        extra = std::max(0, extra - 1);
        tile->place_x(left, w);
        left += w;
    }
}

void FavoritesTileRow::layout_y() {
    for (FavoriteTile* tile : m_tiles)
        tile->place_y(y(), height());
}

void FavoritesTileRow::measure_y(ui::Measure& measure) {
    for (FavoriteTile* tile : m_tiles) {
        measure.preferred = std::max(measure.preferred, tile->design_size(ui::Axis::Y));
        measure.minimum = std::max(measure.minimum, tile->design_size(ui::Axis::Y));
    }
}

// --- Container ----------------------------------------------------------------------------

FavoritesTileGrid::FavoritesTileGrid() = default;

FavoritesTileGrid::~FavoritesTileGrid() = default;

void FavoritesTileGrid::bind(ui::Node& host, const ui::Properties& skin,
                             FavoritesListener& listener, data::ContactPhotoCache* photos) {
    ui::Node* root = host.name() == kRootName ? &host : host.find(kRootName);
    if (root == nullptr)
        throw ui::vadode::NodeNotFound(host.name(), kRootName);
    auto& list = required<ui::VirtualList>(*root, kListName);
    const FavoriteTile probe(skin);

    // An earlier list may already be gone with its tree (a skin switch taken back
    // rebinds after the tree was replaced twice), so it is not touched; its
    // placements are ignored by node_placed_x.
    m_skin = &skin;
    m_listener = &listener;
    m_root = root;
    m_list = &list;
    m_empty = root->find(WString(kRootName) + u"_empty");
    m_tile_width = probe.design_size(ui::Axis::X);
    m_per_row = tiles_per_row(expected_width(list), m_tile_width);
    m_rows_filled = 0;
    m_photos.set_source(photos);
    m_photos.clear();
    m_list->set_observer(this);
    m_document.follow();
    remember_order();
    m_list->set_adapter(this);
    m_list->data_changed();
    show_empty_state();
}

void FavoritesTileGrid::node_placed_x(ui::Node& node, std::int32_t width) {
    if (&node != m_list || width <= 0)
        return;
    const std::int32_t per_row = tiles_per_row(width, m_tile_width);
    if (per_row == m_per_row)
        return;
    m_per_row = per_row;
    m_list->data_changed();
}

void FavoritesTileGrid::show_empty_state() {
    const bool empty = favorite_count() == 0;
    if (m_empty != nullptr)
        m_empty->set_visible(empty);
    if (m_list != nullptr)
        m_list->set_visible(!empty);
}

void FavoritesTileGrid::remember_order() {
    m_order =
        m_document != nullptr ? m_document->favorites().lines() : std::vector<data::FavoriteLine>{};
}

bool FavoritesTileGrid::order_changed() const {
    return m_document == nullptr || m_document->favorites().lines() != m_order;
}

// --- List ---------------------------------------------------------------------------------

std::int32_t FavoritesTileGrid::favorite_count() const {
    if (m_document == nullptr)
        return 0;
    return static_cast<std::int32_t>(m_document->favorites().size());
}

std::int32_t FavoritesTileGrid::item_count() const {
    return tile_rows(favorite_count(), m_per_row);
}

std::unique_ptr<ui::ListElement> FavoritesTileGrid::create_element() {
    ui::ButtonListener& buttons = *this;
    return build_row(u"FavoritesContainer2", m_skin, FavoriteTile::kSkinName, [&] {
        return std::make_unique<FavoritesTileRow>(*m_skin, m_per_row, buttons);
    });
}

void FavoritesTileGrid::bind_element(ui::ListElement& element, std::int32_t index) {
    auto* row = dynamic_cast<FavoritesTileRow*>(&element);
    if (row == nullptr)
        return;
    if (std::int32_t(row->tile_count()) != m_per_row)
        build_part(u"FavoritesContainer2", m_skin, FavoriteTile::kSkinName,
                   [&] { row->set_tile_count(m_per_row); });
    log_line() << u"FavoriteElement2::refresh_element " << index << u"\n";
    ++m_rows_filled;
    const std::int32_t count = favorite_count();
    for (std::size_t slot = 0; slot < row->tile_count(); ++slot) {
        FavoriteTile& tile = row->tile(slot);
        const std::int32_t favorite = index * m_per_row + std::int32_t(slot);
        if (index < 0 || favorite >= count) {
            tile.clear();
            continue;
        }
        const data::Favorite& item = m_document->favorites().at(std::size_t(favorite));
        tile.fill(favorite, favorite_texts(item, *m_skin), m_photos, item.entry->oid());
    }
}

void FavoritesTileGrid::element_clicked(ui::VirtualList&, std::int32_t) {
    // The tiles' own buttons act; a row as a whole has nothing to do.
}

void FavoritesTileGrid::refresh_row(std::int32_t row) {
    if (m_list == nullptr)
        return;
    if (ui::ListElement* element = m_list->element_for(row))
        bind_element(*element, row);
    m_list->mark_redraw();
}

void FavoritesTileGrid::call_favorite(std::int32_t index) {
    if (m_listener == nullptr || index < 0 || index >= favorite_count())
        return;
    const FavoriteTexts texts =
        favorite_texts(m_document->favorites().at(std::size_t(index)), *m_skin);
    // A favourite whose number was deleted from the contact has nothing to dial.
    if (!texts.number.empty())
        m_listener->on_favorite_call(texts.number);
}

void FavoritesTileGrid::open_favorite(std::int32_t index) {
    if (m_listener == nullptr || index < 0 || index >= favorite_count())
        return;
    m_listener->on_favorite_open(*m_document->favorites().at(std::size_t(index)).entry);
}

void FavoritesTileGrid::on_click(ui::ButtonNode& button) {
    for (ui::Node* node = &button; node != nullptr; node = node->parent()) {
        auto* tile = dynamic_cast<FavoriteTile*>(node);
        if (tile == nullptr)
            continue;
        if (&button == tile->call_button())
            call_favorite(tile->favorite());
        else if (&button == tile->open_button())
            open_favorite(tile->favorite());
        return;
    }
}

// --- Document -----------------------------------------------------------------------------

void FavoritesTileGrid::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    using data::RefreshSlot;
    if (m_list == nullptr || m_document == nullptr)
        return;
    const std::uint32_t start = platform::tick_count();
    if (message.has(RefreshFlag::FavoriteAdded)) {
        m_list->data_changed();
        // Tiles added while the tab is out of sight: it opens at its top.
        if (!m_root->is_visible())
            m_list->scroll_to_item(0);
        log_line() << u"FavoritesContainer2::on_document_refresh add "
                   << (platform::tick_count() - start) << u"\n";
    }
    if (message.has(RefreshFlag::FavoriteRemoved)) {
        m_photos.keep_only(m_document->favorites());
        m_list->data_changed();
        log_line() << u"FavoritesContainer2::on_document_refresh remove "
                   << (platform::tick_count() - start) << u"\n";
    }
    if (message.has(RefreshFlag::FavoriteChanged)) {
        m_photos.forget(message.slot(RefreshSlot::ContactOid));
        const std::uint32_t index = message.slot(RefreshSlot::FavoriteIndex);
        const bool known = index != data::k_no_index && index < m_document->favorites().size();
        if (known)
            if (const data::ContactEntry* entry = m_document->favorites().at(index).entry)
                m_photos.forget(entry->oid());
        // A new name can move the contact's favourites; then every row in
        // view changes, else only the one holding the tile.
        if (known && !order_changed())
            refresh_row(std::int32_t(index) / m_per_row);
        else
            m_list->data_changed();
    }
    if (message.has(RefreshFlag::RecentsComplete) || message.has(RefreshFlag::ListsRebuilt))
        m_list->data_changed();
    remember_order();
    show_empty_state();
}

} // namespace telvara::forms
