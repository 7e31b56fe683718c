#pragma once
// MessagePanel ("MessagePanel"): a panel over the screen with a title, a
// text of a few lines and an OK button, for what the network says in words
// (the reply to a service code such as "*100#"). Back or Enter close it too.

#include "forms/form.h"
#include "platform/text.h"
#include "ui/button_node.h"

namespace telvara::ui {
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

class MessagePanel final : public Form, private ui::ButtonListener {
  public:
    MessagePanel();
    ~MessagePanel() override;
    MessagePanel(const MessagePanel&) = delete;
    MessagePanel& operator=(const MessagePanel&) = delete;

    // Loads "MessagePanel" with "txtPanelTitle", "txtPanelText" and
    // "buttonPanelOk" (vadode errors otherwise). The skin must outlive the
    // binding.
    void bind(const ui::Properties& skin);

    // Puts the panel on top with the translated title and the text as it is;
    // a panel already open shows the new message.
    void show(WStringView title_key, WStringView text);
    void close();
    bool is_open() const;
    const WString& title() const;
    const WString& text() const;

    bool on_key(const ui::KeyEvent& event) override;
    std::unique_ptr<FormTransition> make_transition(TransitionKind kind) override;

  private:
    void on_click(ui::ButtonNode& button) override;

    const ui::Properties* m_skin = nullptr;
    ui::TextNode* m_title = nullptr;
    ui::TextNode* m_text = nullptr;
    ui::ButtonNode* m_ok = nullptr;
};

} // namespace telvara::forms
