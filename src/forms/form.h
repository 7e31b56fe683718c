#pragma once
// The form base: a screen is a node that binds itself to the top-level skin
// node of its own name, is updated with the elapsed time every frame while it
// is the top form, tells whether it animates or changes (so the frame loop
// knows to draw), may supply a transition for being shown or closed, and has
// an "outside_color" painted around its own rectangle.

#include "forms/form_transition.h"
#include "platform/text.h"
#include "ui/colour.h"
#include "ui/geometry.h"
#include "ui/node.h"
#include "ui/vlist.h"

#include <exception>
#include <memory>

namespace telvara::forms {

enum class TransitionKind { Show, Close };

class Form : public ui::Node {
  public:
    // `skin_name`: the top-level skin node this form loads ("Main", ...).
    explicit Form(WString skin_name = {});

    const WString& skin_name() const { return m_skin_name; }

    // Replaces the tree with the skin node named skin_name(); throws
    // vadode::NodeNotFoundInSkin when the skin has none.
    void load_form(const ui::Properties& skin);

    // Reads "outside_color" besides the base properties.
    void load(const ui::Properties& skin, ui::NodeRecord record) override;

    // Called every frame while this is the top form; the base advances the
    // node animations (tick).
    virtual void update(double seconds);

    // A form with its own motion says so here; the base has none.
    virtual bool is_animating() const { return false; }
    // Something in the tree asks to be laid out or drawn again.
    bool is_changing() const { return redraw_needed() || layout_needed(); }

    // The transition to run when the form is shown or closed with animation;
    // none by default.
    virtual std::unique_ptr<FormTransition> make_transition(TransitionKind kind);

    // Painted around the form's rectangle; alpha 0 (the default) leaves the
    // screen below as it is.
    const ui::Colour& outside_color() const { return m_outside_color; }
    void set_outside_color(ui::Colour colour);

    // An open pop-up menu of the form (a direct child) is modal: it takes
    // every key before the form, its lists and buttons, and a focused edit;
    // while it closes, keys go nowhere. False when no menu is showing.
    bool menu_takes_key(const ui::KeyEvent& event);

    // Places the form on a screen of this size by its own anchors and borders
    // (a full-screen form covers it).
    void fit_to_screen(std::int32_t width, std::int32_t height);
    // The same in a part of the screen (below the call strip).
    void fit_to_area(const ui::Rect& area);
    // Paints the outside colour, then the tree.
    void draw_form(ui::RenderSurface& surface);

  private:
    WString m_skin_name;
    ui::Colour m_outside_color{0, 0, 0, 0};
};

// Logs that a part of `screen` could not be built from the skin node `node`:
// the skin's file, the node and what did not fit.
void log_part_failure(WStringView screen, const ui::Properties* skin, WStringView node,
                      const std::exception& error);

// Builds a part of a screen from the skin after start-up (a list row, a card
// row). A skin that does not fit is logged and the part stays as far as it
// got, so that the screen shows what it can instead of the error ending the
// program. False when the part failed.
template <class Build>
bool build_part(WStringView screen, const ui::Properties* skin, WStringView node, Build&& build) {
    try {
        build();
        return true;
    } catch (const std::exception& error) {
        log_part_failure(screen, skin, node, error);
        return false;
    }
}

// Loads list row `element` from the top-level skin node `name` (through
// build_part). A node that is missing or cannot be built leaves the row
// empty rather than half built; false then.
bool load_row(WStringView screen, const ui::Properties& skin, ui::ListElement& element,
              WStringView name);

// An empty row of the height the skin node `node` gives its rows, in place of
// a row that could not be built: the list keeps its length and its scrolling.
std::unique_ptr<ui::ListElement> placeholder_row(const ui::Properties* skin, WStringView node);

// A list row made by `make` (a unique_ptr to a ListElement) through
// build_part; a placeholder row when it fails.
template <class Make>
std::unique_ptr<ui::ListElement> build_row(WStringView screen, const ui::Properties* skin,
                                           WStringView node, Make&& make) {
    std::unique_ptr<ui::ListElement> row;
    if (build_part(screen, skin, node, [&] { row = make(); }) && row)
        return row;
    return placeholder_row(skin, node);
}

} // namespace telvara::forms
