#pragma once
// ContactsListElement: one row of the contacts list. Two lines ("big" and
// "small") show the contact's names and company in the order of the current
// sort mode, with the part that matches the typed digits highlighted. Also
// owns StyledText, the text node the row draws those lines with (runs of
// the node's own look, the highlight look and the second-name look).

#include "data/contact_filter.h"
#include "data/contact_record.h"
#include "data/document.h"
#include "platform/text.h"
#include "ui/colour.h"
#include "ui/font.h"
#include "ui/text_node.h"
#include "ui/vlist.h"

#include <array>
#include <cstdint>
#include <vector>

namespace telvara::forms {

// How a piece of a row line is drawn.
enum class RunStyle : std::uint8_t {
    Plain,    // the text node's own font and colour
    Filtered, // the matched prefix
    Second,   // blank and second name part when that part does not match
};

struct TextRun {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    RunStyle style = RunStyle::Plain;

    friend bool operator==(const TextRun&, const TextRun&) = default;
};

// One line: the text and its runs, which cover it in order without gaps.
struct StyledLine {
    WString text;
    std::vector<TextRun> runs;

    // Appends `part` with its first `matched` characters as Filtered and the
    // rest in `rest` (empty parts add nothing).
    void add(WStringView part, std::size_t matched, RunStyle rest = RunStyle::Plain);
};

struct RowLines {
    StyledLine big;
    StyledLine small;
};

// The two lines of a contact for the sort mode and the matched prefix
// lengths of its first name, last name and company.
RowLines compose_row(const data::ContactRecord& record, const data::MatchResult& match,
                     data::SortMode mode);

// A text node that draws its line as styled runs, each in its own font and
// colour. Plain runs use the node's own look.
class StyledText : public ui::TextNode {
  public:
    struct Look {
        ui::FontHandle font;
        ui::Colour colour;
    };

    // Replaces the text and every run: nothing of the previous line stays.
    void set_line(StyledLine line);
    const std::vector<TextRun>& runs() const { return m_runs; }

    void set_look(RunStyle style, Look look);
    const Look& look(RunStyle style) const { return m_looks[static_cast<std::size_t>(style)]; }

    void draw(ui::RenderSurface& surface, ui::Point origin) override;

  private:
    std::vector<TextRun> m_runs;
    std::array<Look, 3> m_looks;
};

// The row: loaded from the skin's top-level node "ContactsListElement" (or
// "ContactsListElementCompact", the lower row of search results); its "big"
// and "small" texts become StyledText nodes with the same skin properties.
class ContactsListElement : public ui::ListElement {
  public:
    static constexpr char16_t kSkinName[] = u"ContactsListElement";
    static constexpr char16_t kCompactSkinName[] = u"ContactsListElementCompact";
    static constexpr char16_t kSecondStyle[] = u"ContactsListElementSecondText";
    static constexpr char16_t kFilteredStyle[] = u"ContactsListElementFilteredText";

    // Throws vadode::NodeNotFoundInSkin without the row node, and
    // vadode::NodeNotFound without "big", "small" or a style node.
    explicit ContactsListElement(const ui::Properties& skin, WStringView node = kSkinName);

    void fill(const data::ContactRecord& record, const data::MatchResult& match,
              data::SortMode mode);
    // A number of the call history: the number with the typed digits
    // highlighted, and when it was last called.
    void fill_number(const data::NumberSuggestion& suggestion, WStringView when);
    // Empty lines, no runs.
    void clear();

    StyledText& big() const { return *m_big; }
    StyledText& small() const { return *m_small; }

    void remove_child(ui::Node* child, std::size_t index) override;

  private:
    StyledText* m_big = nullptr;
    StyledText* m_small = nullptr;
};

// Checks that the skin holds the row node, its two texts and both styles,
// so that rows can be made later without failing; throws like the row.
void check_row_skin(const ui::Properties& skin, WStringView node = ContactsListElement::kSkinName);

} // namespace telvara::forms
