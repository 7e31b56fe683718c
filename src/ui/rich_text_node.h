#pragma once
// RichTextNode, the "richtext" node type: a text node that finds web
// addresses in its text word by word, draws them underlined in the link
// colour and opens the one that is tapped. Also the link search itself and
// the hook through which a tapped address is opened.

#include "platform/text.h"
#include "ui/text_node.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace telvara::ui {

// The host endings that make a word a link, in their fixed order. Two of
// them, "nl" and "pl", carry no leading dot; they still only match a whole
// last label ("example.nl", never "kernl").
std::span<const WStringView> link_endings();

struct TextLink {
    TextRange range; // the link's code units in the text
    WString address; // what opening it passes on: "http://" added when the text has no scheme

    friend bool operator==(const TextLink&, const TextLink&) = default;
};

// The links of a text: each blank-separated word, without the punctuation
// around it, that starts with "http://" or "https://", or whose host part
// ends with one of the link endings. Words with an "@" but no scheme are
// mail addresses, not links.
std::vector<TextLink> find_links(WStringView text);

// Opens a web address; true when it was handed to something that opens it.
using OpenUrlHandler = std::function<bool(WStringView address)>;
// The telephony layer installs the real opener here; an empty handler puts
// back the stand-in, which only logs the address.
void set_open_url_handler(OpenUrlHandler handler);
bool open_url(WStringView address);

class RichTextNode : public TextNode {
  public:
    // The accent colour of the design.
    static constexpr Colour kDefaultLinkColour{0x1A, 0x73, 0xE8, 255};

    const std::vector<TextLink>& links();
    void set_link_color(Colour colour);

    // A press on a link and a release on the same link open it; anything
    // else goes to the base behaviour.
    bool on_touch(const PointerEvent& event) override;

    // The link drawn at a screen point, or null.
    const TextLink* link_at(Point point);

  protected:
    std::span<const TextRange> link_ranges() override;
    Colour link_color() const override { return m_link_colour; }

  private:
    void update_links();
    std::int32_t link_index_at(Point point);

    std::vector<TextLink> m_links;
    std::vector<TextRange> m_ranges;
    std::uint64_t m_links_version = ~std::uint64_t{0};
    Colour m_link_colour = kDefaultLinkColour;
    std::int32_t m_pressed = -1; // link under the pen since the press
};

} // namespace telvara::ui
