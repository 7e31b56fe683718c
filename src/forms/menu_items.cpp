#include "forms/menu_items.h"

namespace telvara::forms {

void add_menu_item(ui::ChoiceMenu& items, WStringView key, Checked checked, WStringView element) {
    ui::ChoiceItem item;
    item.identifier.assign(key);
    item.checked = checked == Checked::Yes;
    item.element.assign(element);
    items.add_item(std::move(item));
}

} // namespace telvara::forms
