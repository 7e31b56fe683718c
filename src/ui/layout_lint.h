#pragma once
// The layout lint: walks the visible node tree of a screen and reports what a
// user would see as broken: text that does not fit its node and is not cut
// with an ellipsis, text whose ink reaches out of its node (descenders cut
// off), controls that overlap, controls smaller than a fingertip, and nodes
// that stand partly outside the screen. Nodes hidden under an open pop-up
// menu or an opaque panel drawn over them are not looked at.

#include "platform/text.h"
#include "ui/geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace telvara::ui {

class Node;

enum class LintKind : std::uint8_t {
    TextCut,     // the text is wider or taller than its node, without an ellipsis
    InkClipped,  // one line of the font is taller than the node
    Overlap,     // two controls share part of their rectangles
    SmallTarget, // a control narrower or lower than a fingertip
    OffScreen,   // the node reaches out of the screen
    NumberCut,   // a phone number cut at its end: the digits that tell it apart are lost
};

struct LintFinding {
    LintKind kind = LintKind::TextCut;
    WString path; // node names from the root, "/" between them
    Rect rect{};  // where it stands on the screen
    WString text; // the text node's text, or the other control of an overlap

    // One line for people: "SmallTarget Main/.../button_backspace [192,88 48x32]".
    std::string describe() const;
};

struct LintOptions {
    Rect screen{};
    // A control's smallest side in pixels (a fingertip at the skin's scale).
    std::int32_t min_target = 40;
};

// The findings in drawing order.
std::vector<LintFinding> lint_layout(Node& root, const LintOptions& options);

std::string_view to_string(LintKind kind);

} // namespace telvara::ui
