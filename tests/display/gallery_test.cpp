// The widget gallery skin drawn headless at 240x320 and 480x640, pixels checked; the shots go
// to the build tree (and over docs/screenshots/ when TELVARA_UPDATE_SCREENSHOTS=1).
#include "display/png_writer.h"
#include "ui/alphabet_ruler.h"
#include "ui/blender.h"
#include "ui/button_node.h"
#include "ui/label_edit_node.h"
#include "ui/menu_provider.h"
#include "ui/node_registry.h"
#include "ui/pixel_rows.h"
#include "ui/popup_menu.h"
#include "ui/progress_node.h"
#include "ui/spinner_node.h"
#include "ui/vlist.h"
#include "ui/widget_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace telvara::ui {
namespace {

namespace fs = std::filesystem;

// The colours the skin is drawn in.
constexpr Pixel kAccent = to_565(0x1A, 0x73, 0xE8);
constexpr Pixel kTextPrimary = to_565(0x1A, 0x1F, 0x24);
constexpr Pixel kCallGreen = to_565(0x1E, 0x8E, 0x3E);
constexpr Pixel kSurface = to_565(0xF3, 0xF5, 0xF7);
constexpr Pixel kBackground = to_565(0xFF, 0xFF, 0xFF);
constexpr Pixel kEnd = to_565(0xD9, 0x30, 0x25);

// The gallery skin at a scale, the program's node types registered once.
std::unique_ptr<PropertiesImpl> load_gallery(unsigned scale_shift) {
    [[maybe_unused]] static const bool registered = [] {
        register_layout_node_types(NodeRegistry::instance());
        register_widget_node_types(NodeRegistry::instance());
        return true;
    }();
    const std::string folder = TELVARA_TEST_SKINS;
    std::ifstream in(folder + "/gallery.skin", std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    return std::make_unique<PropertiesImpl>(std::move(bytes),
                                            scale_shift == 0 ? folder : folder + "/@2x",
                                            u"gallery.skin", scale_shift);
}

// Contacts for the list: rows built from the skin's "GalleryRow".
class Contacts final : public ListAdapter {
  public:
    explicit Contacts(const Properties& skin) : m_skin(skin) {}
    std::int32_t item_count() const override { return 200; }
    std::unique_ptr<ListElement> create_element() override {
        auto row = std::make_unique<ListElement>();
        EXPECT_TRUE(row->load_from_skin(m_skin, u"GalleryRow"));
        return row;
    }
    void bind_element(ListElement& element, std::int32_t index) override {
        static const char* const names[] = {
            "Ada Lovelace", "Alan Turing",     "Barbara Liskov",    "Claude Shannon",
            "Donald Knuth", "Edsger Dijkstra", "Frances Allen",     "Grace Hopper",
            "Hedy Lamarr",  "John McCarthy",   "Katherine Johnson", "Margaret Hamilton"};
        static const char* const details[] = {"mobile +44 7700 900123", "work 020 7946 0018",
                                              "web lovelace.org", "home 0161 496 0754"};
        set(element, u"name", names[std::size_t(index) % std::size(names)]);
        set(element, u"detail", details[std::size_t(index) % std::size(details)]);
    }
    void element_clicked(VirtualList&, std::int32_t) override {}

  private:
    static void set(ListElement& element, WStringView id, const char* text) {
        if (auto* node = dynamic_cast<TextNode*>(element.find(id)))
            node->set_text(from_utf8(text));
    }
    const Properties& m_skin;
};

struct Shot {
    int scale = 1;
    const char* page = "gallery";
    int width() const { return 240 * scale; }
    int height() const { return 320 * scale; }
    std::string name() const {
        return std::string(page) + "-" + std::to_string(width()) + "x" + std::to_string(height());
    }
};

// Writes the shot to the build tree, and over the committed one when asked.
void write_shot(const RenderSurface& surface, const Shot& shot) {
    const std::string folder = TELVARA_GALLERY_SHOTS;
    fs::create_directories(folder);
    const display::Frame565 frame{surface.row(0), surface.width(), surface.height(),
                                  surface.pitch()};
    const std::string file = folder + "/" + shot.name() + ".png";
    ASSERT_TRUE(display::write_png(file, frame));
    const char* update = std::getenv("TELVARA_UPDATE_SCREENSHOTS");
    if (update && std::string(update) == "1") {
        const std::string target = TELVARA_SCREENSHOTS_DIR;
        fs::create_directories(target);
        fs::copy_file(file, target + "/" + shot.name() + ".png",
                      fs::copy_options::overwrite_existing);
    }
}

class Gallery : public testing::TestWithParam<int> {};

// Lays out again what asked for it, as the application does once a frame.
void lay_out(Node& root, const Shot& shot) {
    if (root.layout_needed() || root.width() != shot.width()) {
        root.mark_layout();
        root.place_x(0, shot.width());
        root.place_y(0, shot.height());
    }
}

// The contact menu of the second page: one item of every kind.
class ContactMenu final : public MenuProvider {
  public:
    void on_menu(PopupMenu&, WStringView key, ChoiceMenu& items) override {
        if (key != u"Contact")
            return;
        items.add_item({u"Favourite", u"Favourite", u"", true, false, true});
        items.add_item({u"Share", u"Share contact", u"", true, false, false});
        items.add_item({u"CopyToSim", u"Copy to SIM", u"", false, false, false});
        items.add_item({u"Delete", u"Delete", u"GalleryDangerElement", true, false, false});
    }
};

// What the menu's shade makes of a page pixel: the skin's black picture mixed in at alpha 192.
Pixel dimmed(Pixel page) {
    const Pixel black = 0;
    pixel_rows::alpha(&page, &black, 1, AlphaBlender::level_for(192));
    return page;
}

// Pixels of exactly `colour` inside the rectangle.
int count(const RenderSurface& surface, Rect area, Pixel colour) {
    int found = 0;
    for (std::int32_t y = std::max(area.top, 0); y < std::min(area.bottom, surface.height()); ++y)
        for (std::int32_t x = std::max(area.left, 0); x < std::min(area.right, surface.width());
             ++x)
            found += surface.row(y)[x] == colour;
    return found;
}

Rect rect_of(const Node& node) {
    return {node.x(), node.y(), node.x() + node.width(), node.y() + node.height()};
}

// Both pages: the list, ruler, progress and buttons; then the edit, spinner and menu.
TEST_P(Gallery, DrawsEveryWidgetAndWritesTheShots) {
    const int scale = GetParam();
    auto impl = load_gallery(scale == 1 ? 0 : 1);
    ASSERT_TRUE(impl->is_loaded()) << impl->load_error();
    Properties skin;
    ASSERT_TRUE(skin.install(*impl));
    RenderSurface surface;
    surface.resize(240 * scale, 320 * scale);
    auto at = [&](std::int32_t x, std::int32_t y) { return surface.row(y)[x]; };
    {
        const Shot shot{scale};
        Node root;
        ASSERT_TRUE(root.load_from_skin(skin, u"Gallery"));
        auto* list = dynamic_cast<VirtualList*>(root.find(u"list"));
        auto* ruler = dynamic_cast<AlphabetRuler*>(root.find(u"ruler"));
        auto* sync = dynamic_cast<ProgressNode*>(root.find(u"sync"));
        auto* remove = dynamic_cast<ButtonNode*>(root.find(u"delete"));
        auto* call = dynamic_cast<ButtonNode*>(root.find(u"call"));
        const Node* title = root.find(u"title");
        ASSERT_TRUE(list && ruler && sync && remove && call && title);
        lay_out(root, shot);
        Contacts contacts(skin);
        list->set_adapter(&contacts);
        list->set_selected_index(1);
        std::vector<WString> letters;
        for (char16_t c = u'A'; c <= u'Z'; ++c)
            letters.emplace_back(1, c);
        ruler->set_letters(std::move(letters));
        sync->set_value(0.64);
        remove->set_enabled(false);
        for (int frame = 0; frame < 8; ++frame) {
            root.tick(1.0 / 60.0);
            lay_out(root, shot);
            root.draw_node(surface, {});
        }
        // The selected row's accent bar, the title's ink, the call button's face inside its
        // rounded corner, and the title bar's surface.
        ListElement* selected = list->element_for(1);
        ASSERT_NE(selected, nullptr);
        EXPECT_EQ(at(selected->x() + 1, selected->y() + selected->height() / 2), kAccent);
        EXPECT_GT(count(surface, rect_of(*title), kTextPrimary), 8 * scale * scale);
        EXPECT_EQ(at(call->x() + 4 * scale, call->y() + call->height() / 2), kCallGreen);
        EXPECT_EQ(at(call->x(), call->y()), kBackground);
        EXPECT_EQ(at(shot.width() / 2, 2), kSurface);
        write_shot(surface, shot);
    }
    const Shot shot{scale, "gallery-more"};
    Node root;
    ASSERT_TRUE(root.load_from_skin(skin, u"GalleryMore"));
    auto* name = dynamic_cast<LabelEditNode*>(root.find(u"name"));
    auto* when = dynamic_cast<SpinnerNode*>(root.find(u"when"));
    ASSERT_TRUE(name && when);
    // The menu lies over the page, as a screen's menu does.
    auto& menu = static_cast<PopupMenu&>(
        root.append_child(std::make_unique<PopupMenu>(u"GalleryMenu", u"GalleryMenuElement")));
    menu.bind(skin);
    ContactMenu provider;
    menu.set_provider(&provider);
    lay_out(root, shot);
    name->set_text(u"Ada Lovelace");
    name->edit().take_focus();
    when->set_date_time(SpinnerDateTime{2026, 12, 6, 9, 41});
    ASSERT_TRUE(menu.open(u"Contact"));
    // Fixed steps past the panel's rise, ending 0.2 s into the caret's
    // second blink so that it shows.
    for (int frame = 0; frame < 72; ++frame) {
        root.tick(1.0 / 60.0);
        lay_out(root, shot);
    }
    root.draw_node(surface, {});
    ASSERT_EQ(menu.state(), MenuState::Open);
    ASSERT_TRUE(name->edit().caret_shown());
    write_shot(surface, shot);
    // The shade dims the page; the panel stands on the bottom edge, undimmed.
    EXPECT_EQ(at(shot.width() - 2, 2), dimmed(kBackground));
    EXPECT_EQ(menu.panel().y() + menu.panel().height(), shot.height());
    ListElement* checked = menu.list().element_for(0);
    ListElement* plain = menu.list().element_for(1);
    ListElement* disabled = menu.list().element_for(2);
    ListElement* danger = menu.list().element_for(3);
    ASSERT_TRUE(checked && plain && disabled && danger);
    EXPECT_EQ(at(checked->x() + 4, checked->y() + 4), kBackground);
    // The caret stands in the edit after the text, in the text colour under
    // the shade, with the field's surface right after it.
    EditNode& edit = name->edit();
    const Rect caret = edit.caret_rect(Point{edit.x(), edit.y()});
    ASSERT_FALSE(caret.is_empty());
    EXPECT_GE(caret.left, edit.x() + edit.width() / 4) << "after \"Ada Lovelace\"";
    EXPECT_TRUE(caret.right <= edit.x() + edit.width() && caret.top >= edit.y() &&
                caret.bottom <= edit.y() + edit.height())
        << "inside the field";
    const Pixel ink = dimmed(kTextPrimary);
    EXPECT_EQ(count(surface, caret, ink), (caret.right - caret.left) * (caret.bottom - caret.top));
    EXPECT_EQ(at(caret.right + 1, (caret.top + caret.bottom) / 2), dimmed(kSurface));
    // The spinner's middle row is drawn at full strength, the rows off it
    // fade, and the menu leaves it in sight.
    const std::int32_t row = when->row_height();
    const std::int32_t band_top = when->y() + (when->height() - row) / 2;
    const Rect band{when->x(), band_top, when->x() + when->width(), band_top + row};
    EXPECT_LT(band.bottom, menu.panel().y());
    EXPECT_GT(count(surface, band, ink), 20 * scale * scale);
    EXPECT_EQ(count(surface, {when->x(), when->y(), band.right, band_top}, ink), 0);
    // The checked item carries the accent check on its right, the others none;
    // "Delete" is written in the end colour and "Cancel" comes last.
    const Node* mark = checked->find(u"checked");
    ASSERT_TRUE(mark && mark->is_visible());
    EXPECT_GT(mark->x(), checked->x() + checked->width() / 2);
    EXPECT_GT(count(surface, rect_of(*mark), kAccent), 6 * scale * scale);
    EXPECT_EQ(count(surface, rect_of(*plain), kAccent), 0);
    EXPECT_EQ(count(surface, rect_of(*disabled), kTextPrimary), 0) << "greyed";
    const Node* delete_text = danger->find(u"#text");
    ASSERT_NE(delete_text, nullptr);
    EXPECT_GT(count(surface, rect_of(*delete_text), kEnd), 8 * scale * scale);
    ASSERT_NE(menu.cancel_button(), nullptr);
    EXPECT_GT(menu.cancel_button()->y(), danger->y() + danger->height() - 1);
}

std::string size_name(const testing::TestParamInfo<int>& info) {
    return info.param == 1 ? std::string("At240x320") : std::string("At480x640");
}

INSTANTIATE_TEST_SUITE_P(Sizes, Gallery, testing::Values(1, 2), size_name);

} // namespace
} // namespace telvara::ui
