#pragma once
// LabelEditNode, the "label_edit" node type: an edit ("#edit"), a hint label
// ("#text") shown while the edit is empty, and an optional clear button
// ("clear") shown while it is not, which empties the edit.

#include "platform/text.h"
#include "ui/button_node.h"
#include "ui/edit_node.h"

namespace telvara::ui {

class TextNode;

class LabelEditNode : public Node, public EditListener, public ButtonListener {
  public:
    LabelEditNode() = default;
    ~LabelEditNode() override;

    // Throws vadode::NodeNotFound when "#edit" or "#text" is missing.
    void load(const Properties& skin, NodeRecord record) override;
    void remove_child(Node* child, std::size_t index) override;

    // Valid after load (or bind).
    EditNode& edit() const { return *m_edit; }
    Node& hint() const { return *m_hint; }
    Node* clear_button() const { return m_clear; }

    // Finds the three children below this node again (after building the
    // tree in code); same errors as load.
    void bind();

    // The listener of the whole field: told after the edit's text changed.
    void set_listener(EditListener* listener) { m_listener = listener; }

    // Shortcuts to the edit.
    const WString& text() const { return m_edit->edit_text(); }
    void set_text(WString text) { m_edit->set_text(std::move(text)); }

    void on_edit_changed(EditNode& edit) override;
    void on_click(ButtonNode& button) override;

  private:
    void show_parts();
    void unhook();

    EditNode* m_edit = nullptr;
    Node* m_hint = nullptr;
    Node* m_clear = nullptr;
    EditListener* m_listener = nullptr;
};

} // namespace telvara::ui
