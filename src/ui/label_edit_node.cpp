// The "label_edit" node: finding its parts, the hint from the language file,
// and the rule that shows the hint or the clear button.
#include "ui/label_edit_node.h"

#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

namespace telvara::ui {

LabelEditNode::~LabelEditNode() {
    unhook();
}

void LabelEditNode::unhook() {
    if (m_edit && m_edit->listener() == this)
        m_edit->set_listener(nullptr);
    if (auto* button = dynamic_cast<ButtonNode*>(m_clear); button && button->listener() == this)
        button->set_listener(nullptr);
    m_edit = nullptr;
    m_hint = nullptr;
    m_clear = nullptr;
}

void LabelEditNode::bind() {
    unhook();
    auto* edit = dynamic_cast<EditNode*>(find(u"#edit"));
    if (!edit)
        throw vadode::NodeNotFound(name(), u"#edit");
    Node* hint = find(u"#text");
    if (!hint)
        throw vadode::NodeNotFound(name(), u"#text");
    m_edit = edit;
    m_hint = hint;
    m_edit->set_listener(this);
    m_clear = find(u"clear");
    if (auto* button = dynamic_cast<ButtonNode*>(m_clear))
        button->set_listener(this);
    show_parts();
}

void LabelEditNode::load(const Properties& skin, NodeRecord record) {
    unhook();
    Node::load(skin, record);
    bind();
    // Without a "text" of its own the hint keeps what its skin node says.
    constexpr WStringView kAbsent = u"\uFFFF";
    const WString key = skin.read_string(record, u"text", kAbsent);
    if (auto* hint = dynamic_cast<TextNode*>(m_hint); hint && key != kAbsent)
        hint->set_text(skin.translate(key));
}

void LabelEditNode::remove_child(Node* child, std::size_t index) {
    // Removing a part of the field leaves it without that part.
    auto inside = [child](Node* part) {
        for (Node* n = part; n; n = n->parent())
            if (n == child)
                return true;
        return false;
    };
    if (inside(m_edit) || inside(m_hint))
        unhook();
    else if (inside(m_clear))
        m_clear = nullptr;
    Node::remove_child(child, index);
}

void LabelEditNode::show_parts() {
    if (!m_edit)
        return;
    const bool empty = m_edit->edit_text().empty();
    m_hint->set_visible(empty);
    if (m_clear)
        m_clear->set_visible(!empty);
}

void LabelEditNode::on_edit_changed(EditNode& edit) {
    show_parts();
    if (m_listener)
        m_listener->on_edit_changed(edit);
}

void LabelEditNode::on_click(ButtonNode& button) {
    if (&button == m_clear && m_edit)
        m_edit->set_text(WString());
}

} // namespace telvara::ui
