// The "richtext" node: which words are links, how they are drawn and what a tap on one opens.
#include "ui/rich_text_node.h"

#include "node_test_support.h"
#include "text_test_support.h"
#include "ui/font_measure.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;
using Words = std::vector<WString>;

namespace {

Words link_texts(WStringView text) {
    Words words;
    for (const TextLink& link : find_links(text))
        words.emplace_back(text.substr(link.range.start, link.range.length));
    return words;
}

} // namespace

TEST(RichTextLinks, WordsWithAKnownEndingAreLinksWithoutTheirPunctuation) {
    const auto endings = link_endings();
    ASSERT_EQ(endings.size(), 43u);
    EXPECT_EQ(endings.front(), u".com");
    EXPECT_EQ(endings[32], u"nl");
    EXPECT_EQ(endings[34], u"pl");
    EXPECT_EQ(endings.back(), u".mobi");
    const struct {
        const char16_t* text;
        Words links;
    } rows[] = {
        {u"see example.com or www.test.de today", {u"example.com", u"www.test.de"}},
        {u"EXAMPLE.COM", {u"EXAMPLE.COM"}}, // endings ignore case
        {u"my-shop.com, caf\u00e9.de", {u"my-shop.com", u"caf\u00e9.de"}},
        {u"shop.example.info/path?q=1#top", {u"shop.example.info/path?q=1#top"}},
        {u"host.org:8080/x", {u"host.org:8080/x"}},
        {u"example.xyz file.txt 3.14 .com com", {}},
        // The two dotless endings match only a whole label.
        {u"site.nl and site.pl", {u"site.nl", u"site.pl"}},
        {u"kernl sitepl x.nnl", {}},
        {u"(example.com), \"a.net\". <b.org>!", {u"example.com", u"a.net", u"b.org"}},
        {u"mail me: someone@example.com", {}},
        {u"http:// alone", {}},
        {u"bad..com x.com..", {u"x.com"}}, // empty labels are no host
    };
    for (const auto& r : rows)
        EXPECT_EQ(link_texts(r.text), r.links) << to_utf8(r.text);
    const auto links = find_links(u"Go to example.com.");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].range, (TextRange{6, 11}));
}

TEST(RichTextLinks, SchemesKeepTheirAddressAndOtherLinksGetHttp) {
    const auto links = find_links(u"http://any.host/x https://a.b example.com");
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].address, u"http://any.host/x") << "a scheme makes any host a link";
    EXPECT_EQ(links[1].address, u"https://a.b");
    EXPECT_EQ(links[2].address, u"http://example.com");
    RichTextNode node;
    node.set_text(u"a.com b");
    EXPECT_EQ(node.links().size(), 1u);
    node.set_text(u"nothing here");
    EXPECT_TRUE(node.links().empty()) << "links follow the text";
}

namespace {

class RichTextTap : public testing::Test {
  protected:
    void SetUp() override {
        node.set_font(test_font());
        node.set_halign(HAlign::Left);
        node.set_valign(VAlign::Top);
        node.set_text(u"visit example.com now");
        place(node, 20, 10, 300, 40);
        set_open_url_handler([this](WStringView address) {
            opened.emplace_back(address);
            return true;
        });
    }
    void TearDown() override { set_open_url_handler({}); }
    std::int32_t x_of(WStringView prefix) {
        return 20 + measure_text(node.font().get(), prefix).width;
    }
    bool touch(PointerKind kind, std::int32_t x, bool cancelled = false) {
        return node.on_touch(pen(kind, x, 15, cancelled));
    }
    RichTextNode node;
    Words opened;
};

} // namespace

TEST_F(RichTextTap, OnlyPressAndReleaseOnTheSameLinkOpenIt) {
    const std::int32_t on_link = x_of(u"visit exa");
    const std::int32_t on_word = x_of(u"vi");
    EXPECT_EQ(node.link_at({on_word, 15}), nullptr);
    EXPECT_FALSE(touch(PointerKind::Down, on_word)) << "plain text does not take the press";
    EXPECT_TRUE(touch(PointerKind::Down, on_link));
    EXPECT_TRUE(touch(PointerKind::Up, x_of(u"visit example.com no"))) << "released off it";
    EXPECT_TRUE(touch(PointerKind::Down, on_link));
    EXPECT_TRUE(touch(PointerKind::Up, on_link, true)) << "cancelled";
    EXPECT_EQ(node.link_at({on_link, 10 + node.font()->height() + 2}), nullptr) << "below";
    EXPECT_EQ(node.link_at({on_link, 5}), nullptr) << "above the node";
    EXPECT_TRUE(opened.empty());
    ASSERT_NE(node.link_at({on_link, 15}), nullptr);
    EXPECT_TRUE(touch(PointerKind::Down, on_link));
    EXPECT_TRUE(touch(PointerKind::Move, on_link + 3));
    EXPECT_TRUE(touch(PointerKind::Up, on_link + 3));
    EXPECT_EQ(opened, Words{u"http://example.com"});
    set_open_url_handler({});
    EXPECT_FALSE(open_url(u"http://example.com")) << "the stand-in opener only fails";
}

TEST_F(RichTextTap, LinksAreDrawnUnderlinedInTheLinkColour) {
    RenderSurface surface;
    surface.resize(340, 60);
    paint(surface, kWhite);
    node.set_link_color({0, 0, 200, 255});
    node.draw_node(surface, {node.x(), node.y()});
    const Pixel blue = to_565(0, 0, 200);
    const Rect link = colour_box(surface, blue);
    ASSERT_FALSE(link.is_empty());
    EXPECT_GE(link.left, x_of(u"visit ") - 1);
    EXPECT_LE(link.right, x_of(u"visit example.com") + 1);
    bool full_row = false; // the underline: one full row of link colour
    for (std::int32_t y = link.top; y < link.bottom; ++y)
        full_row |= std::count(surface.row(y) + link.left, surface.row(y) + link.right, blue) >=
                    link.width() - 1;
    EXPECT_TRUE(full_row);
}
