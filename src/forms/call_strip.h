#pragma once
// CallStrip ("CallStrip"): while a call is up and another screen is in
// front of the call screen, a strip over the top of the screen names the
// caller and the running time; a tap on it leads back to the call. The
// application draws it from the call-strip slot and lays the screens out
// below it.

#include "forms/form.h"
#include "platform/text.h"
#include "ui/button_node.h"

#include <functional>

namespace telvara::ui {
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

class CallStrip final : public Form, private ui::ButtonListener {
  public:
    CallStrip();
    // Leaves the form host's call-strip slot.
    ~CallStrip() override;
    CallStrip(const CallStrip&) = delete;
    CallStrip& operator=(const CallStrip&) = delete;

    // Loads "CallStrip" with its button "buttonCallStrip" and text
    // "txtCallStrip" (vadode errors otherwise). Starts hidden.
    void bind(const ui::Properties& skin);
    bool is_bound() const { return m_text != nullptr; }

    // Shows the strip over every screen but `owner`; the text comes from
    // `text` every frame (the running time moves on), a tap runs `on_tap`.
    void show(const Form& owner, std::function<WString()> text, std::function<void()> on_tap);
    void hide();
    const WString& text() const;

    void update(double seconds) override;

  private:
    void on_click(ui::ButtonNode& button) override;

    ui::TextNode* m_text = nullptr;
    ui::ButtonNode* m_button = nullptr;
    std::function<WString()> m_source;
    std::function<void()> m_on_tap;
};

} // namespace telvara::forms
