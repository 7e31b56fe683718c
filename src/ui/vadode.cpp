// Messages of the skin errors.
#include "ui/vadode.h"

namespace telvara::ui::vadode {

namespace {
std::string quoted(const WString& text) {
    return "{" + to_utf8(text) + "}";
}
} // namespace

NodeNotFoundInSkin::NodeNotFoundInSkin(WString name)
    : Error("node " + quoted(name) + " not found in skin"), m_name(std::move(name)) {}

NodeNotFound::NodeNotFound(WString parent_name, WString child_name)
    : Error("node " + quoted(child_name) + " not found in " + quoted(parent_name)),
      m_parent_name(std::move(parent_name)), m_child_name(std::move(child_name)) {}

NodeNotRegistered::NodeNotRegistered(WString type_name)
    : Error("node type " + quoted(type_name) + " is not registered"),
      m_type_name(std::move(type_name)) {}

NodeAlreadyRegistered::NodeAlreadyRegistered(WString type_name)
    : Error("node type " + quoted(type_name) + " is already registered"),
      m_type_name(std::move(type_name)) {}

} // namespace telvara::ui::vadode
