#pragma once
// AboutContainer: the About panel of the main screen: the skin's "About",
// laid over the host, a panel ("about_panel") with a list ("list") whose top element
// ("AboutElementTop") shows the product name and, in "version", the version
// text; "back" closes it.

#include "platform/text.h"
#include "ui/button_node.h"
#include "ui/vlist.h"

namespace telvara::ui {
class Node;
class Properties;
} // namespace telvara::ui

namespace telvara::forms {

class AboutContainer final : private ui::ListAdapter, private ui::ButtonListener {
  public:
    static constexpr WStringView kVersion = u"3.01 (PHAL 1.0.7)";

    // Loads "About" from the skin as the host's last child and finds its
    // parts (vadode::NodeNotFoundInSkin / NodeNotFound); starts hidden.
    void bind(ui::Node& host, const ui::Properties& skin);

    void show();
    void hide();
    bool is_shown() const;
    ui::Node* root() const { return m_root; }

  private:
    // ListAdapter.
    std::int32_t item_count() const override { return 1; }
    std::unique_ptr<ui::ListElement> create_element() override;
    void bind_element(ui::ListElement& element, std::int32_t index) override;
    void element_clicked(ui::VirtualList&, std::int32_t) override {}
    // ButtonListener.
    void on_click(ui::ButtonNode& button) override;

    const ui::Properties* m_skin = nullptr;
    ui::Node* m_root = nullptr;
    ui::VirtualList* m_list = nullptr;
    ui::ButtonNode* m_back = nullptr;
};

} // namespace telvara::forms
