#pragma once
// Finding the nodes a screen cannot do without: a descendant of a given name
// and type, or vadode::NodeNotFound (parent's name, child's name). A node of
// the name but of another type is as good as missing.

#include "platform/text.h"
#include "ui/node.h"
#include "ui/vadode.h"

namespace telvara::forms {

template <class Wanted> Wanted& required(ui::Node& parent, WStringView name) {
    auto* found = dynamic_cast<Wanted*>(parent.find(name));
    if (found == nullptr)
        throw ui::vadode::NodeNotFound(parent.name(), WString(name));
    return *found;
}

} // namespace telvara::forms
