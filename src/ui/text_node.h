#pragma once
// TextNode, the "text" node type: one string in one font and colour inside
// its rectangle, optionally wrapped, aligned on both axes, cut with an
// ellipsis (at its end, or in its middle so that a number keeps its last
// digits), shrunk down to a smallest size before it is cut, and with parts
// highlighted; its size can follow its text. The measured extent and the
// lines are cached until the text, the font or the width change.

#include "platform/text.h"
#include "ui/colour.h"
#include "ui/font.h"
#include "ui/node.h"
#include "ui/text_layout.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace telvara::ui {

// Size asked for when the skin names no font: "Tahoma", size 10.
FontHandle default_text_font(unsigned scale_shift);

// Where a text too long for its node is cut ("ellipsis" 0, 1 or 2).
enum class Ellipsis : std::uint8_t { None, End, Middle };

class TextNode : public Node {
  public:
    // Highlighted text is drawn in the key colour unless a screen says otherwise.
    static constexpr Colour kDefaultHighlightColour{255, 0, 255, 255};

    TextNode();
    ~TextNode() override;

    // Text nodes alive in the process.
    static std::int64_t live_count();

    void load(const Properties& skin, NodeRecord record) override;
    void measure_x(Measure& measure) override;
    void measure_y(Measure& measure) override;
    void draw(RenderSurface& surface, Point origin) override;

    // Each does nothing when the value is already the current one.
    virtual void set_text(WString text);
    virtual void set_color(Colour colour);
    virtual void set_font(FontHandle font);
    // Marks every non-overlapping occurrence of pattern; empty clears.
    virtual void set_highlight(WStringView pattern);

    const WString& text() const { return m_text; }
    const Colour& color() const { return m_colour; }
    const FontHandle& font() const { return m_font; }
    const std::vector<TextRange>& highlights() const { return m_highlights; }
    HAlign halign() const { return m_halign; }
    VAlign valign() const { return m_valign; }
    bool grow() const { return m_grow; }
    bool grow_min() const { return m_grow_min; }
    bool wrap() const { return m_wrap; }
    bool ellipsis() const { return m_ellipsis != Ellipsis::None; }
    Ellipsis ellipsis_mode() const { return m_ellipsis; }
    // The smallest font size (skin units) the text may shrink to before it is
    // cut; 0: it keeps its font.
    std::int32_t shrink_to() const { return m_shrink_to; }
    // The font the text is drawn in now (smaller than font() when shrunk).
    const FontHandle& shown_font();

    void set_halign(HAlign align);
    void set_valign(VAlign align);
    void set_grow(bool grow, bool grow_min);
    void set_wrap(bool wrap);
    void set_ellipsis(bool ellipsis);
    void set_ellipsis(Ellipsis mode);
    void set_shrink_to(std::int32_t size);
    const Colour& highlight_color() const { return m_highlight_colour; }
    void set_highlight_color(Colour colour);

    // Width and line height of the whole text in its font (cached).
    Size text_extent();
    // The lines at the current width (cached).
    const std::vector<TextLine>& lines();
    // The rows the drawn glyphs cover, relative to the node's top (what is
    // drawn, not the font's line box); empty when nothing is drawn.
    struct InkRows {
        std::int32_t top = 0;
        std::int32_t bottom = 0; // exclusive
    };
    std::optional<InkRows> ink_rows();

  protected:
    // Where one line (or the lone ellipsis that stands for the lines that no
    // longer fit) lands, relative to the draw origin.
    struct PlacedLine {
        std::uint32_t line = 0;      // index into lines()
        std::uint32_t drawn_end = 0; // code units drawn before any ellipsis
        std::int32_t x = 0;          // pen at the line's first character
        std::int32_t y = 0;          // line top
        bool ellipsis = false;       // an ellipsis follows drawn_end
        bool lone_ellipsis = false;  // only an ellipsis, in the node's last line
        // A middle ellipsis: the line's end from here on follows it.
        std::uint32_t tail_start = 0;
        bool middle = false;
    };
    // The visible lines in drawing order, for a node drawn at `origin`.
    const std::vector<PlacedLine>& place_lines(Point origin);
    // Draws the lines placed for `origin`, inside whatever clip the caller set
    // (draw() clips to the node; a scrolling edit box to its own box).
    void draw_lines(RenderSurface& surface, Point origin);

    // Pen positions after each code unit of the whole text.
    PenPositions positions();
    std::int32_t line_height();
    std::int32_t ellipsis_width();

    // Links drawn underlined in the link colour; none for plain text.
    virtual std::span<const TextRange> link_ranges() { return {}; }
    virtual Colour link_color() const { return m_colour; }

    // Changes each time the text is replaced.
    std::uint64_t text_version() const { return m_text_version; }

  private:
    void replace_text(WString text);
    void measure_extent();
    // Picks the shown font: the largest size down to shrink_to() at which
    // the text fits the width.
    void fit_font();
    // A line too wide for a middle ellipsis: its start and end around one.
    void cut_middle(PenPositions pen, const TextLine& line, PlacedLine& placed,
                    std::int32_t box_width);
    void draw_range(RenderSurface& surface, std::int32_t x, std::int32_t y, std::uint32_t start,
                    std::uint32_t end);
    void wrap_lines();
    void draw_placed(RenderSurface& surface, const PlacedLine& placed);

    WString m_text;
    std::vector<TextRange> m_highlights;
    std::vector<TextLine> m_lines;
    std::vector<std::int32_t> m_positions;
    Size m_extent{-1, -1};
    std::int32_t m_ellipsis_width = -1;
    std::int32_t m_wrap_width = -1;
    bool m_lines_stale = true;
    FontHandle m_font;
    FontHandle m_shown_font; // m_font, or a smaller copy the text fits in
    std::int32_t m_shrink_to = 0;
    std::int32_t m_fit_width = -1;
    std::uint64_t m_fit_version = 0;
    Colour m_colour;
    Colour m_highlight_colour = kDefaultHighlightColour;
    HAlign m_halign = HAlign::Center;
    VAlign m_valign = VAlign::VCenter;
    bool m_grow = false;
    bool m_grow_min = false;
    bool m_wrap = false;
    Ellipsis m_ellipsis = Ellipsis::None;
    std::uint64_t m_text_version = 0;
    // Scratch of every draw, kept to avoid allocating per frame.
    std::vector<PlacedLine> m_placed;
    std::vector<StyledRun> m_runs;
};

} // namespace telvara::ui
