// Both favourites layouts on the default skin with a real Document.
#include "data/contact_photo.h"
#include "forms/favorites_container.h"
#include "forms/favorites_tile_grid.h"
#include "screen_test_support.h"
#include "ui/image_node.h"
#include "ui/vadode.h"

namespace telvara::forms {
namespace {

using data::FieldType;
using data::testing::person;
using data::testing::phone;
using Calls = std::vector<WString>;

struct Recorder final : FavoritesListener {
    void on_favorite_call(WStringView number) override { calls.emplace_back(number); }
    void on_favorite_open(data::ContactEntry& contact) override { opened.push_back(contact.oid()); }
    Calls calls;
    std::vector<std::uint32_t> opened;
};

constexpr std::int32_t kMobile = std::int32_t(FieldType::Mobile);
constexpr std::int32_t kHome = std::int32_t(FieldType::HomeTel);

class FavoritesTest : public test::ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        m_store.put(person(1, u"Anna", u"Berg", u"", {phone(FieldType::Mobile, u"+1 555 0100")}));
        m_store.put(person(2, u"Boris", u"Adams", u"", {phone(FieldType::HomeTel, u"555 0200")}));
        for (std::uint32_t oid = 3; oid <= 9; ++oid)
            m_store.put(
                person(oid, WString(1, char16_t(u'C' + oid)), u"Tile", u"",
                       {phone(FieldType::Mobile, u"77" + WString(1, char16_t(u'0' + oid)))}));
        open_document();
    }
    void TearDown() override {
        m_list.reset();
        m_grid.reset();
        m_root.reset();
        ScreenTest::TearDown();
    }
    // "Main" laid out at the size, both containers bound to it.
    void show(std::int32_t width, std::int32_t height, data::ContactPhotoCache* photos = nullptr) {
        m_list.reset();
        m_grid.reset();
        m_root = std::make_unique<ui::Node>();
        ASSERT_TRUE(m_root->load_from_skin(m_skin, u"Main"));
        m_list.emplace();
        m_grid.emplace();
        m_list->bind(*m_root, m_skin, m_recorder, photos);
        m_grid->bind(*m_root, m_skin, m_recorder, photos);
        m_width = width;
        m_height = height;
        frame();
    }
    void frame() {
        for (int pass = 0; pass < 2; ++pass) {
            m_root->tick(0.5);
            if (pass == 0)
                m_root->mark_layout();
            m_root->place_x(0, m_width);
            m_root->place_y(0, m_height);
        }
    }
    static void tap(ui::Node& target, const ui::Node& node) {
        const std::int32_t x = node.x() + node.width() / 2, y = node.y() + node.height() / 2;
        target.on_touch({x, y, ui::PointerKind::Down, false});
        target.on_touch({x, y, ui::PointerKind::Up, false});
    }
    FavoritesListElement& row(std::int32_t index) {
        auto* element = dynamic_cast<FavoritesListElement*>(m_list->list()->element_for(index));
        EXPECT_NE(element, nullptr) << "row " << index;
        return *element;
    }
    FavoritesTileRow& tile_row(std::int32_t index) {
        auto* element = dynamic_cast<FavoritesTileRow*>(m_grid->list()->element_for(index));
        EXPECT_NE(element, nullptr) << "row " << index;
        return *element;
    }
    WString name(std::int32_t index) { return row(index).big().text(); }
    // Each of the first seven contacts starred for its number (Boris has only a home number).
    void add_all_tiles() {
        for (std::uint32_t oid = 1; oid <= 7; ++oid)
            ASSERT_TRUE(m_document->add_favorite(oid, oid == 2 ? kHome : kMobile));
    }
    bool empty_shown() {
        const bool list = m_root->find(u"FavoritesContainer_empty")->is_visible();
        EXPECT_EQ(list, m_root->find(u"FavoritesContainer2_empty")->is_visible());
        EXPECT_EQ(list, !m_list->list()->is_visible());
        return list;
    }
    std::unique_ptr<ui::Node> m_root;
    std::optional<FavoritesContainer> m_list;
    std::optional<FavoritesTileGrid> m_grid;
    Recorder m_recorder;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
};

TEST_F(FavoritesTest, RowsInNameOrderFollowTheFlagsAndTheEmptyStateShowsWhenNoneAreLeft) {
    show(240, 320);
    EXPECT_TRUE(empty_shown());
    ASSERT_TRUE(m_document->add_favorite(2, kHome));
    frame();
    ASSERT_TRUE(m_document->add_favorite(1, kMobile));
    frame();
    EXPECT_FALSE(empty_shown());
    ASSERT_EQ(m_list->list()->item_count(), 2);
    EXPECT_EQ(name(0), u"Anna Berg");
    EXPECT_NE(row(0).small().text().find(u"+1 555 0100"), WString::npos);
    EXPECT_NE(row(0).small().text().find(u"Mobile"), WString::npos);
    EXPECT_EQ(name(1), u"Boris Adams");
    EXPECT_NE(row(1).small().text().find(u"555 0200"), WString::npos);
    // A rename moves Anna after Boris.
    m_store.put(person(1, u"Zoe", u"Berg", u"", {phone(FieldType::Mobile, u"+1 555 0100")}));
    m_document->on_contact_changed(1);
    frame();
    EXPECT_EQ(name(0), u"Boris Adams");
    EXPECT_EQ(name(1), u"Zoe Berg");
    ASSERT_TRUE(m_document->remove_favorite(2, kHome));
    frame();
    EXPECT_EQ(m_list->list()->item_count(), 1);
    EXPECT_EQ(name(0), u"Zoe Berg");
    ASSERT_TRUE(m_document->remove_favorite(1, kMobile));
    EXPECT_TRUE(empty_shown());
}

// Favourites saved for fields gone by the next start (or never there) are
// dropped when shown, and from the file.
TEST_F(FavoritesTest, FavouritesOfMissingFieldsAreDroppedAtTheNextStart) {
    ASSERT_TRUE(data::write_favorites_file(files().favorites,
                                           {{1, kMobile}, {1, kHome}, {2, kHome}, {2, 999}}));
    open_document();
    show(240, 320);
    ASSERT_EQ(m_list->list()->item_count(), 2);
    EXPECT_EQ(name(0), u"Anna Berg");
    EXPECT_EQ(name(1), u"Boris Adams");
    std::vector<data::FavoriteLine> saved;
    ASSERT_EQ(data::read_favorites_file(files().favorites, saved).state, data::FavoritesFile::Read);
    EXPECT_EQ(saved, (std::vector<data::FavoriteLine>{{1, kMobile}, {2, kHome}}));
}

TEST_F(FavoritesTest, RowAndTileTapsCallAndTheirCardButtonsOpen) {
    ASSERT_TRUE(m_document->add_favorite(1, kMobile));
    show(240, 320);
    FavoritesListElement& first = row(0);
    tap(*m_list->list(), first.big());
    EXPECT_EQ(m_recorder.calls, Calls{u"+1 555 0100"});
    EXPECT_TRUE(m_recorder.opened.empty());
    EXPECT_FALSE(first.row_pressed());
    ASSERT_NE(first.open_button(), nullptr);
    tap(*m_list->list(), *first.open_button());
    EXPECT_EQ(m_recorder.opened, std::vector<std::uint32_t>{1});
    // Indexes past the favourites do nothing.
    m_list->call_favorite(5);
    m_list->call_favorite(-1);
    m_list->open_favorite(1);
    EXPECT_EQ(m_recorder.calls.size(), 1u);
    EXPECT_EQ(m_recorder.opened.size(), 1u);
    // The tiles' buttons call and open too.
    m_recorder = {};
    for (std::uint32_t oid = 2; oid <= 7; ++oid)
        ASSERT_TRUE(m_document->add_favorite(oid, oid == 2 ? kHome : kMobile));
    frame();
    FavoriteTile& boris = tile_row(0).tile(1); // starred for his home number
    ASSERT_NE(boris.call_button(), nullptr);
    tap(*m_grid->list(), boris.text2());
    EXPECT_EQ(m_recorder.calls, Calls{u"555 0200"});
    FavoriteTile& third = tile_row(0).tile(2);
    ASSERT_NE(third.open_button(), nullptr);
    tap(*m_grid->list(), third.text2());
    const data::Favorite& favorite = m_document->favorites().at(2);
    ASSERT_EQ(m_recorder.calls.size(), 2u);
    EXPECT_EQ(m_recorder.calls[1], favorite.entry->record.fields[0].value);
    tap(*m_grid->list(), *third.open_button());
    EXPECT_EQ(m_recorder.opened, std::vector<std::uint32_t>{favorite.entry->oid()});
    EXPECT_EQ(m_recorder.calls.size(), 2u);
}

TEST_F(FavoritesTest, TilesPerRowFollowTheWidthAndTheDensitySevenThreeAcrossInThreeRows) {
    add_all_tiles();
    show(240, 320);
    EXPECT_EQ(m_grid->per_row(), 3);
    ASSERT_EQ(m_grid->list()->item_count(), 3);
    m_grid->list()->scroll_to_item(2);
    frame();
    FavoritesTileRow& last = tile_row(2);
    ASSERT_EQ(last.tile_count(), 3u);
    EXPECT_TRUE(last.tile(0).is_visible());
    EXPECT_EQ(last.tile(0).favorite(), 6);
    EXPECT_FALSE(last.tile(1).is_visible());
    EXPECT_FALSE(last.tile(2).is_visible());
    EXPECT_EQ(last.tile(1).favorite(), -1);
    // A wider screen at the same density fits more.
    show(480, 320);
    EXPECT_EQ(m_grid->per_row(), 6);
    EXPECT_EQ(m_grid->list()->item_count(), 2);
    m_width = 320; // turning the screen lays the list out again
    m_height = 240;
    frame();
    EXPECT_EQ(m_grid->per_row(), 4);
    EXPECT_EQ(m_grid->list()->item_count(), 2);
    EXPECT_EQ(tile_row(0).tile_count(), 4u);
    // A doubled screen keeps three tiles across.
    m_list.reset();
    m_grid.reset();
    m_root.reset();
    const std::string folder = TELVARA_PROGRAM_SKINS;
    m_impl = std::make_unique<ui::PropertiesImpl>(test::read_bytes(folder + "/default.skin"),
                                                  folder + "/@2x", u"default.skin", 1);
    ASSERT_TRUE(m_skin.install(*m_impl));
    show(480, 640);
    EXPECT_EQ(m_grid->tile_width(), 160);
    EXPECT_EQ(m_grid->per_row(), 3);
    EXPECT_EQ(tile_row(0).tile(0).width(), 160);
}

TEST_F(FavoritesTest, PhotosAreRoundAndContactsWithoutOneShowTheDefault) {
    data::RgbImage red;
    red.width = red.height = 64;
    red.rgb.assign(std::size_t(64 * 64 * 3), 0);
    for (std::size_t i = 0; i < red.rgb.size(); i += 3)
        red.rgb[i] = 250;
    const std::vector<std::byte> png = data::encode_png(red);
    data::ContactPhotoCache cache(
        [&png](std::uint32_t oid) { return oid == 1 ? png : std::vector<std::byte>{}; });
    ASSERT_TRUE(m_document->add_favorite(1, kMobile));
    ASSERT_TRUE(m_document->add_favorite(2, kHome));
    show(240, 320, &cache);
    const ui::Picture& with = row(0).photo().picture();
    const ui::Picture& without = row(1).photo().picture();
    ASSERT_TRUE(with.has_data() && without.has_data());
    EXPECT_NE(with.data, without.data);
    EXPECT_EQ(with.width, without.width) << "asked at the mask's size";
    // No pixel keeps the mark that would let it past the round mask.
    const ui::PixelBuffer& pixels = with.data->pixels;
    for (std::int32_t y = 0; y < pixels.height(); ++y)
        for (std::int32_t x = 0; x < pixels.width(); ++x)
            ASSERT_EQ(pixels.row(y)[x] & 0x0020, 0) << x << "," << y;
    // The grid's tile asks for its own size; Boris has the default there too.
    const FavoriteTile& anna = tile_row(0).tile(0);
    EXPECT_GT(anna.photo().picture().width, with.width);
    EXPECT_NE(anna.photo().picture().data, tile_row(0).tile(1).photo().picture().data);
    // Dropping Boris forgets his cached pictures.
    const std::size_t cached = m_list->photos().size();
    ASSERT_TRUE(m_document->remove_favorite(2, kHome));
    EXPECT_LT(m_list->photos().size(), cached);
}

} // namespace
} // namespace telvara::forms
