#pragma once
// EditNode, the "edit" node type: a text node that can take the input focus.
// While focused it shows its background, a blinking caret, and takes typed
// text and editing keys from the text-input service; it may be masked (shows
// one "*" per character); its listener hears of every change of the text.

#include "platform/text.h"
#include "ui/colour.h"
#include "ui/edit_text.h"
#include "ui/text_input_service.h"
#include "ui/text_node.h"

#include <cstddef>

namespace telvara::ui {

class EditNode;

class EditListener {
  public:
    virtual void on_edit_changed(EditNode& edit) = 0;

  protected:
    ~EditListener() = default;
};

enum class Masking { Plain, Masked };

class EditNode : public TextNode, public TextInputClient {
  public:
    // A full blink period: shown for the first half, hidden for the second.
    static constexpr double kBlinkPeriod = 1.0;
    static constexpr char16_t kMaskCharacter = u'*';

    EditNode() = default;
    ~EditNode() override;

    void load(const Properties& skin, NodeRecord record) override;

    // Does nothing (and tells nobody) when the text is already this one;
    // otherwise the caret goes to the end and the listener is told.
    void set_text(WString text) override;
    // What the user typed; text() is what is shown (stars when masked).
    const WString& edit_text() const { return m_masking == Masking::Masked ? m_real : text(); }

    void set_masking(Masking masking);
    Masking masking() const { return m_masking; }

    void set_listener(EditListener* listener) { m_listener = listener; }
    EditListener* listener() const { return m_listener; }

    const Colour& background_color() const { return m_background; }
    void set_background_color(Colour colour);
    Capitalize capitalize() const { return m_capitalize; }
    void set_capitalize(Capitalize capitalize) { m_capitalize = capitalize; }

    // --- Focus and caret ----------------------------------------------------
    bool has_focus() const;
    // Asks the text-input service for the focus.
    void take_focus();
    // Code unit index in edit_text(); always on a character boundary.
    std::size_t caret() const { return m_caret; }
    void set_caret(std::size_t index);
    // The caret is in its visible half of the blink.
    bool caret_shown() const;
    // Where the caret is drawn for a node drawn at `origin` (x of its left
    // edge, top and height); meaningful once placed.
    Rect caret_rect(Point origin);

    // --- Node -------------------------------------------------------------
    bool on_touch(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;
    void layout_y() override;
    void on_visibility_changed(bool effective) override;
    void tick(double seconds) override;
    void draw(RenderSurface& surface, Point origin) override;

    // --- TextInputClient ----------------------------------------------------
    Rect input_area() const override;
    void insert_text(WStringView text) override;
    bool on_input_key(const KeyEvent& event) override;
    void on_input_focus(bool focused) override;

  private:
    // Shows `real` (masked or not) and tells whom it concerns.
    void apply_edit(WString real, std::size_t caret);
    void show(const WString& real);
    // Caret index in the shown text.
    std::size_t shown_caret() const;
    // Caret x relative to the node's left edge with no scrolling, and the
    // placed line's top relative to the node's top.
    Point caret_offset();
    std::int32_t caret_width();
    // How far the text is pushed left so that the caret stays inside.
    std::int32_t scroll_for(std::int32_t caret_x);
    void restart_blink();

    EditListener* m_listener = nullptr;
    Colour m_background;
    Capitalize m_capitalize = Capitalize::Off;
    Masking m_masking = Masking::Plain;
    WString m_real; // the typed text while masked
    std::size_t m_caret = 0;
    bool m_focused = false;
    double m_blink = 0.0;
};

} // namespace telvara::ui
