// The widget gallery: the test skin's "Gallery" screen laid out at 240x320
// and 480x640, its list filled through the adapter, a few frames ticked and
// drawn headless; the shots go to the build tree (and over
// docs/screenshots/ when TELVARA_UPDATE_SCREENSHOTS=1).
#include "display/png_writer.h"
#include "platform/text.h"
#include "ui/alphabet_ruler.h"
#include "ui/button_node.h"
#include "ui/colour.h"
#include "ui/node_registry.h"
#include "ui/progress_node.h"
#include "ui/properties.h"
#include "ui/render_surface.h"
#include "ui/text_node.h"
#include "ui/vlist.h"
#include "ui/widget_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace telvara::ui {
namespace {

namespace fs = std::filesystem;

// The colours the skin is drawn in.
constexpr Pixel kAccent = to_565(0x1A, 0x73, 0xE8);
constexpr Pixel kTextPrimary = to_565(0x1A, 0x1F, 0x24);
constexpr Pixel kCallGreen = to_565(0x1E, 0x8E, 0x3E);
constexpr Pixel kSurface = to_565(0xF3, 0xF5, 0xF7);
constexpr Pixel kBackground = to_565(0xFF, 0xFF, 0xFF);

// The program's node types and the ruler, once for this test binary.
void register_types() {
    static const bool registered = [] {
        auto& registry = NodeRegistry::instance();
        register_layout_node_types(registry);
        register_widget_node_types(registry);
        registry.register_type(u"ruler", &make_node<AlphabetRuler>);
        return true;
    }();
    (void)registered;
}

std::unique_ptr<PropertiesImpl> load_gallery(unsigned scale_shift) {
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
            "Hedy Lamarr",  "John McCarthy",   "Katherine Johnson", "Margaret Hamilton",
        };
        static const char* const details[] = {
            "mobile +44 7700 900123",
            "work 020 7946 0018",
            "web lovelace.org",
            "home 0161 496 0754",
        };
        const std::size_t n = std::size(names);
        set(element, u"name", names[std::size_t(index) % n]);
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
    int width() const { return 240 * scale; }
    int height() const { return 320 * scale; }
    std::string name() const {
        return "gallery-" + std::to_string(width()) + "x" + std::to_string(height());
    }
};

class Gallery : public testing::TestWithParam<int> {};

// Lays out again what asked for it, as the application does once a frame.
void lay_out(Node& root, const Shot& shot) {
    if (root.layout_needed() || root.width() != shot.width()) {
        root.mark_layout();
        root.place_x(0, shot.width());
        root.place_y(0, shot.height());
    }
}

TEST_P(Gallery, DrawsEveryWidgetAndWritesTheShot) {
    register_types();
    const Shot shot{GetParam()};
    const unsigned shift = shot.scale == 1 ? 0 : 1;
    auto impl = load_gallery(shift);
    ASSERT_TRUE(impl->is_loaded()) << impl->load_error();
    Properties skin;
    ASSERT_TRUE(skin.install(*impl));

    Node root;
    ASSERT_TRUE(root.load_from_skin(skin, u"Gallery"));
    auto* list = dynamic_cast<VirtualList*>(root.find(u"list"));
    auto* ruler = dynamic_cast<AlphabetRuler*>(root.find(u"ruler"));
    auto* sync = dynamic_cast<ProgressNode*>(root.find(u"sync"));
    auto* remove = dynamic_cast<ButtonNode*>(root.find(u"delete"));
    auto* call = dynamic_cast<ButtonNode*>(root.find(u"call"));
    ASSERT_TRUE(list && ruler && sync && remove && call);

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

    RenderSurface surface;
    surface.resize(shot.width(), shot.height());
    for (int frame = 0; frame < 8; ++frame) {
        root.tick(1.0 / 60.0);
        lay_out(root, shot);
        root.draw_node(surface, {});
    }
    auto at = [&](std::int32_t x, std::int32_t y) { return surface.row(y)[x]; };

    // The selected row carries the accent bar on its left edge.
    ListElement* selected = list->element_for(1);
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(at(selected->x() + 1, selected->y() + selected->height() / 2), kAccent);
    // The title is drawn in the primary text colour, its stems fully covered.
    const Node* title = root.find(u"title");
    ASSERT_NE(title, nullptr);
    int primary = 0;
    for (std::int32_t y = title->y(); y < title->y() + title->height(); ++y)
        for (std::int32_t x = title->x(); x < title->x() + title->width() / 2; ++x)
            primary += at(x, y) == kTextPrimary;
    EXPECT_GT(primary, 8 * shot.scale * shot.scale);
    // The call button's face is the call colour; the title bar the surface.
    EXPECT_EQ(at(call->x() + 4 * shot.scale, call->y() + call->height() / 2), kCallGreen);
    EXPECT_EQ(at(shot.width() / 2, 2), kSurface);
    // The rounded corners of the button leave the page background.
    EXPECT_EQ(at(call->x(), call->y()), kBackground);
    // The ruler shows letters over the list.
    EXPECT_GT(ruler->cell_count(), 5u);

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

INSTANTIATE_TEST_SUITE_P(Sizes, Gallery, testing::Values(1, 2),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 1 ? std::string("At240x320")
                                                    : std::string("At480x640");
                         });

} // namespace
} // namespace telvara::ui
