// The layout lint: one walk in drawing order that keeps the clipping
// rectangle, collects texts and controls, and lets later opaque panels and
// open menus cover what was drawn before them.
#include "ui/layout_lint.h"

#include "ui/font_measure.h"

#include "ui/alphabet_ruler.h"
#include "ui/basic_nodes.h"
#include "ui/button_node.h"
#include "ui/edit_node.h"
#include "ui/image_node.h"
#include "ui/node.h"
#include "ui/popup_menu.h"
#include "ui/spinner_node.h"
#include "ui/text_node.h"
#include "ui/vlist.h"

#include <algorithm>
#include <optional>

namespace telvara::ui {

namespace {

Rect rect_of(const Node& node) {
    return {node.x(), node.y(), node.x() + node.width(), node.y() + node.height()};
}

Rect intersect(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool contains(const Rect& outer, const Rect& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// How a node takes the pen: a control needs room for a finger; an area (a
// list, the alphabet ruler) only must not share its place with a control.
enum class Touch { None, Control, Area };

Touch touch_of(const Node& node) {
    if (dynamic_cast<const ButtonNode*>(&node) != nullptr ||
        dynamic_cast<const EditNode*>(&node) != nullptr ||
        dynamic_cast<const SpinnerNode*>(&node) != nullptr)
        return Touch::Control;
    if (dynamic_cast<const VirtualList*>(&node) != nullptr ||
        dynamic_cast<const AlphabetRuler*>(&node) != nullptr)
        return Touch::Area;
    return Touch::None;
}

// A node whose children are drawn inside its own rectangle only.
bool clips(const Node& node) {
    return dynamic_cast<const ClipNode*>(&node) != nullptr ||
           dynamic_cast<const VirtualList*>(&node) != nullptr;
}

// A node that paints every pixel of its rectangle.
bool opaque(const Node& node) {
    if (const auto* colour = dynamic_cast<const ColorNode*>(&node))
        return colour->color().alpha == 255;
    return false;
}

struct Item {
    const Node* node = nullptr;
    Rect rect{}; // on the screen, clipped
    WString path;
    Touch touch = Touch::None;
    bool covered = false;
};

class Walker {
  public:
    explicit Walker(const LintOptions& options) : m_options(options) {}

    void walk(Node& node, const Rect& clip, const WString& parent_path, bool in_control = false) {
        if (!node.is_visible())
            return;
        const WString path = parent_path.empty() ? node.name() : parent_path + u"/" + node.name();
        const Rect full = rect_of(node);
        const Rect shown = intersect(full, clip);
        if (const auto* menu = dynamic_cast<const PopupMenu*>(&node); menu != nullptr) {
            if (!menu->is_open())
                return;
            // An open menu takes every tap: what lies below is out of reach.
            for (Item& item : m_items)
                item.covered = true;
        } else if (opaque(node) && !shown.is_empty()) {
            for (Item& item : m_items)
                if (contains(shown, item.rect))
                    item.covered = true;
        }
        if (shown.is_empty() && clips(node))
            return;
        // A button inside a control (a label button) is part of that control.
        const Touch touch = in_control ? Touch::None : touch_of(node);
        const bool text = dynamic_cast<const TextNode*>(&node) != nullptr &&
                          dynamic_cast<const EditNode*>(&node) == nullptr;
        if (!shown.is_empty() && (touch != Touch::None || text || node.child_count() == 0)) {
            m_items.push_back({&node, shown, path, touch, false});
            if (!contains(m_options.screen, full) && !clipped_away(full, clip))
                m_offscreen.push_back(m_items.size() - 1);
        }
        const Rect inner = clips(node) ? shown : clip;
        for (std::size_t i = 0; i < node.child_count(); ++i)
            walk(node.child(i), inner, path, in_control || touch == Touch::Control);
    }

    std::vector<LintFinding> findings() {
        std::vector<LintFinding> out;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const Item& item = m_items[i];
            if (item.covered)
                continue;
            if (std::find(m_offscreen.begin(), m_offscreen.end(), i) != m_offscreen.end())
                out.push_back({LintKind::OffScreen, item.path, rect_of(*item.node), {}});
            // An edit box scrolls its text; it is never cut.
            auto* text = dynamic_cast<TextNode*>(const_cast<Node*>(item.node));
            if (text != nullptr && dynamic_cast<const EditNode*>(item.node) == nullptr)
                check_text(*text, item, out);
            // Its whole size counts: a row half scrolled out of its list is
            // no smaller for it.
            const Rect whole = rect_of(*item.node);
            if (item.touch == Touch::Control &&
                (whole.width() < m_options.min_target || whole.height() < m_options.min_target))
                out.push_back({LintKind::SmallTarget, item.path, whole, {}});
            if (item.touch == Touch::None)
                continue;
            for (std::size_t j = i + 1; j < m_items.size(); ++j) {
                const Item& other = m_items[j];
                // A control inside a list row is the list's own content.
                if (other.covered || other.touch == Touch::None ||
                    is_ancestor(*item.node, *other.node))
                    continue;
                const Rect shared = intersect(item.rect, other.rect);
                // A small control drawn over a part of a bigger one (the card
                // button in a tile's corner) takes the taps there: no doubt
                // which is hit.
                const bool on_top = item.touch == Touch::Control && other.touch == Touch::Control &&
                                    contains(item.rect, other.rect);
                if (!shared.is_empty() && !on_top && !scrolls_clear(item, other))
                    out.push_back({LintKind::Overlap, item.path, shared, other.path});
            }
        }
        return out;
    }

  private:
    static bool is_ancestor(const Node& ancestor, const Node& node) {
        for (const Node* at = node.parent(); at != nullptr; at = at->parent())
            if (at == &ancestor)
                return true;
        return false;
    }

    // A control over the end of a list that can scroll its rows clear of it
    // (its scroll border keeps that room free) takes nothing from it.
    static bool scrolls_clear(const Item& list_item, const Item& control) {
        const auto* list = dynamic_cast<const VirtualList*>(list_item.node);
        if (list == nullptr || control.touch != Touch::Control)
            return false;
        const Rect& area = list_item.rect;
        return control.rect.top >= area.bottom - list->scroll_border_max() ||
               control.rect.bottom <= area.top + list->scroll_border_min();
    }

    // Outside the screen only where a clipping parent hides it anyway.
    bool clipped_away(const Rect& full, const Rect& clip) const {
        return contains(m_options.screen, intersect(full, clip)) &&
               !(clip.left == m_options.screen.left && clip.top == m_options.screen.top &&
                 clip.right == m_options.screen.right && clip.bottom == m_options.screen.bottom);
    }

    // Digits with the signs numbers are written with ("+7 (912) 555-01-02").
    static bool looks_like_number(WStringView text) {
        int digits = 0;
        for (char16_t c : text) {
            if (c >= u'0' && c <= u'9')
                ++digits;
            else if (WStringView(u"+-() .*#").find(c) == WStringView::npos)
                return false;
        }
        return digits >= 3;
    }

    static void check_text(TextNode& text, const Item& item, std::vector<LintFinding>& out) {
        if (text.text().empty() || text.width() <= 0)
            return;
        const Size extent = text.text_extent();
        const std::int32_t line_height = extent.height;
        // What is drawn must stand inside the node: a glyph that reaches
        // out is cut off at its edge (descenders of a too-low line).
        if (const auto ink = text.ink_rows();
            ink && (ink->top < 0 || ink->bottom > text.height())) {
            out.push_back({LintKind::InkClipped, item.path, rect_of(text), text.text()});
            return;
        }
        if (text.ellipsis_mode() == Ellipsis::End && !text.wrap() &&
            looks_like_number(text.text()) &&
            measure_text(text.shown_font().get(), text.text()).width > text.width())
            out.push_back({LintKind::NumberCut, item.path, rect_of(text), text.text()});
        if (text.ellipsis())
            return;
        const bool too_wide = !text.wrap() && extent.width > text.width();
        const bool too_tall =
            text.wrap() &&
            static_cast<std::int64_t>(text.lines().size()) * line_height > text.height();
        if (too_wide || too_tall)
            out.push_back({LintKind::TextCut, item.path, rect_of(text), text.text()});
    }

    const LintOptions& m_options;
    std::vector<Item> m_items;
    std::vector<std::size_t> m_offscreen;
};

} // namespace

std::string_view to_string(LintKind kind) {
    switch (kind) {
    case LintKind::TextCut:
        return "TextCut";
    case LintKind::InkClipped:
        return "InkClipped";
    case LintKind::Overlap:
        return "Overlap";
    case LintKind::SmallTarget:
        return "SmallTarget";
    case LintKind::OffScreen:
        return "OffScreen";
    case LintKind::NumberCut:
        return "NumberCut";
    }
    return "?";
}

std::string LintFinding::describe() const {
    std::string out = std::string(to_string(kind)) + " " + to_utf8(path) + " [" +
                      std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
                      std::to_string(rect.width()) + "x" + std::to_string(rect.height()) + "]";
    if (!text.empty())
        out += kind == LintKind::Overlap ? " with " + to_utf8(text) : " \"" + to_utf8(text) + "\"";
    return out;
}

std::vector<LintFinding> lint_layout(Node& root, const LintOptions& options) {
    Walker walker(options);
    walker.walk(root, options.screen, {});
    return walker.findings();
}

} // namespace telvara::ui
