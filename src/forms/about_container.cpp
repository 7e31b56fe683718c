#include "forms/about_container.h"

#include "forms/form.h"
#include "forms/required_node.h"
#include "ui/node.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

namespace telvara::forms {

namespace {
constexpr char16_t kRootName[] = u"About";
constexpr char16_t kTopElement[] = u"AboutElementTop";
} // namespace

void AboutContainer::bind(ui::Node& host, const ui::Properties& skin) {
    if (!skin.find_node(kTopElement))
        throw ui::vadode::NodeNotFoundInSkin(kTopElement);
    // The page is a screen of its own in the skin, laid over the host's
    // other children, so a host loaded without it is not covered.
    auto page = std::make_unique<ui::Node>();
    if (!page->load_from_skin(skin, kRootName))
        throw ui::vadode::NodeNotFoundInSkin(kRootName);
    ui::Node& root = host.append_child(std::move(page));
    ui::Node& panel = required<ui::Node>(root, u"about_panel");
    m_list = &required<ui::VirtualList>(panel, u"list");
    m_back = &required<ui::ButtonNode>(panel, u"back");
    m_root = &root;
    m_skin = &skin;
    m_back->set_listener(this);
    m_root->set_visible(false);
    m_list->set_adapter(this);
}

void AboutContainer::show() {
    if (m_root != nullptr && !m_root->is_visible())
        m_root->set_visible_animated(true);
}

void AboutContainer::hide() {
    if (m_root != nullptr && m_root->is_visible())
        m_root->set_visible_animated(false);
}

bool AboutContainer::is_shown() const {
    return m_root != nullptr && m_root->is_visible();
}

std::unique_ptr<ui::ListElement> AboutContainer::create_element() {
    auto element = std::make_unique<ui::ListElement>();
    load_row(u"AboutContainer", *m_skin, *element, kTopElement);
    return element;
}

void AboutContainer::bind_element(ui::ListElement& element, std::int32_t) {
    if (auto* name = dynamic_cast<ui::TextNode*>(element.find(u"name")))
        name->set_text(m_skin->translate(u"skin_ProgramName"));
    if (auto* version = dynamic_cast<ui::TextNode*>(element.find(u"version")))
        version->set_text(WString(kVersion));
}

void AboutContainer::on_click(ui::ButtonNode& button) {
    if (&button == m_back)
        hide();
}

} // namespace telvara::forms
