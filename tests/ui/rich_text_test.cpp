// The "richtext" node: which words are links, how they are drawn and what a
// tap on one opens.
#include "ui/rich_text_node.h"

#include "text_test_support.h"
#include "ui/font_measure.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;

namespace {

std::vector<WString> link_texts(WStringView text) {
    std::vector<WString> words;
    for (const TextLink& link : find_links(text))
        words.emplace_back(text.substr(link.range.start, link.range.length));
    return words;
}

using Words = std::vector<WString>;

} // namespace

TEST(RichTextLinks, TheEndingListInItsOrder) {
    const auto endings = link_endings();
    ASSERT_EQ(endings.size(), 43u);
    EXPECT_EQ(endings.front(), u".com");
    EXPECT_EQ(endings[32], u"nl");
    EXPECT_EQ(endings[34], u"pl");
    EXPECT_EQ(endings.back(), u".mobi");
}

TEST(RichTextLinks, WordsWithAKnownEndingAreLinks) {
    EXPECT_EQ(link_texts(u"see example.com or www.test.de today"),
              (Words{u"example.com", u"www.test.de"}));
    EXPECT_EQ(link_texts(u"EXAMPLE.COM"), (Words{u"EXAMPLE.COM"})) << "endings ignore case";
    EXPECT_EQ(link_texts(u"shop.example.info/path?q=1#top"),
              (Words{u"shop.example.info/path?q=1#top"}));
    EXPECT_EQ(link_texts(u"host.org:8080/x"), (Words{u"host.org:8080/x"}));
    EXPECT_TRUE(link_texts(u"example.xyz file.txt 3.14 .com com").empty());
}

TEST(RichTextLinks, TheTwoDotlessEndingsMatchOnlyAWholeLabel) {
    EXPECT_EQ(link_texts(u"site.nl and site.pl"), (Words{u"site.nl", u"site.pl"}));
    EXPECT_TRUE(link_texts(u"kernl sitepl x.nnl").empty());
}

TEST(RichTextLinks, PunctuationAroundALinkIsNotPartOfIt) {
    EXPECT_EQ(link_texts(u"(example.com), \"a.net\". <b.org>!"),
              (Words{u"example.com", u"a.net", u"b.org"}));
    const auto links = find_links(u"Go to example.com.");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].range, (TextRange{6, 11}));
}

TEST(RichTextLinks, SchemesAndMailAddresses) {
    const auto links = find_links(u"http://any.host/x https://a.b example.com");
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].address, u"http://any.host/x") << "a scheme makes any host a link";
    EXPECT_EQ(links[1].address, u"https://a.b");
    EXPECT_EQ(links[2].address, u"http://example.com") << "no scheme: http:// is added";
    EXPECT_TRUE(find_links(u"mail me: someone@example.com").empty());
    EXPECT_TRUE(find_links(u"http:// alone").empty());
    EXPECT_TRUE(find_links(u"bad..com x.com..").size() == 1u) << "empty labels are no host";
}

TEST(RichTextLinks, LinksFollowTheText) {
    RichTextNode node;
    node.set_text(u"a.com b");
    ASSERT_EQ(node.links().size(), 1u);
    node.set_text(u"nothing here");
    EXPECT_TRUE(node.links().empty());
}

class RichTextTap : public testing::Test {
  protected:
    void SetUp() override {
        node.set_font(test_font());
        node.set_halign(HAlign::Left);
        node.set_valign(VAlign::Top);
        node.set_text(u"visit example.com now");
        node.place_x(20, 300);
        node.place_y(10, 40);
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
        PointerEvent event;
        event.kind = kind;
        event.x = x;
        event.y = 15;
        event.cancelled = cancelled;
        return node.on_touch(event);
    }

    RichTextNode node;
    std::vector<WString> opened;
};

TEST_F(RichTextTap, ATapOnALinkOpensItsAddress) {
    const std::int32_t on_link = x_of(u"visit exa");
    ASSERT_NE(node.link_at({on_link, 15}), nullptr);
    EXPECT_TRUE(touch(PointerKind::Down, on_link));
    EXPECT_TRUE(touch(PointerKind::Move, on_link + 3));
    EXPECT_TRUE(touch(PointerKind::Up, on_link + 3));
    EXPECT_EQ(opened, (std::vector<WString>{u"http://example.com"}));
}

TEST_F(RichTextTap, OnlyPressAndReleaseOnTheSameLinkOpen) {
    const std::int32_t on_link = x_of(u"visit exa");
    const std::int32_t on_word = x_of(u"vi");
    EXPECT_EQ(node.link_at({on_word, 15}), nullptr);
    EXPECT_FALSE(touch(PointerKind::Down, on_word)) << "plain text does not take the press";

    // Released off the link.
    EXPECT_TRUE(touch(PointerKind::Down, on_link));
    EXPECT_TRUE(touch(PointerKind::Up, x_of(u"visit example.com no")));
    // Cancelled (the node was hidden while pressed).
    EXPECT_TRUE(touch(PointerKind::Down, on_link));
    EXPECT_TRUE(touch(PointerKind::Up, on_link, true));
    // Below the text and outside the node.
    EXPECT_EQ(node.link_at({on_link, 10 + node.font()->height() + 2}), nullptr);
    EXPECT_EQ(node.link_at({on_link, 5}), nullptr);
    EXPECT_TRUE(opened.empty());
}

TEST_F(RichTextTap, TheStandInOpenerOnlyReportsFailure) {
    set_open_url_handler({});
    EXPECT_FALSE(open_url(u"http://example.com"));
}

TEST_F(RichTextTap, LinksAreDrawnUnderlinedInTheLinkColour) {
    RenderSurface surface;
    ASSERT_TRUE(surface.resize(340, 60));
    paint(surface, kWhite);
    node.set_link_color({0, 0, 200, 255});
    node.draw_node(surface, {node.x(), node.y()});
    save_image_if_asked(surface, "RichTextLink");
    const Rect link = colour_box(surface, to_565(0, 0, 200));
    ASSERT_FALSE(link.is_empty());
    EXPECT_GE(link.left, x_of(u"visit ") - 1);
    EXPECT_LE(link.right, x_of(u"visit example.com") + 1);
    // The underline: one full row of link colour under the glyphs.
    bool full_row = false;
    for (std::int32_t y = link.top; y < link.bottom; ++y) {
        std::int32_t run = 0;
        for (std::int32_t x = link.left; x < link.right; ++x)
            run += surface.row(y)[x] == to_565(0, 0, 200);
        full_row = full_row || run >= link.width() - 1;
    }
    EXPECT_TRUE(full_row);
}
