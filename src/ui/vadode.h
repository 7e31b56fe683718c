#pragma once
// The errors a skin that does not fit the program raises: a missing top-level
// node, a missing named descendant, an unknown or a doubly registered type.
// They carry the wide names; what() gives a UTF-8 sentence for logs.

#include "platform/text.h"

#include <exception>
#include <string>

namespace telvara::ui::vadode {

class Error : public std::exception {
  public:
    const char* what() const noexcept override { return m_what.c_str(); }

  protected:
    explicit Error(std::string what) : m_what(std::move(what)) {}

  private:
    std::string m_what;
};

class NodeNotFoundInSkin : public Error {
  public:
    explicit NodeNotFoundInSkin(WString name);
    const WString& name() const { return m_name; }

  private:
    WString m_name;
};

class NodeNotFound : public Error {
  public:
    NodeNotFound(WString parent_name, WString child_name);
    const WString& parent_name() const { return m_parent_name; }
    const WString& child_name() const { return m_child_name; }

  private:
    WString m_parent_name;
    WString m_child_name;
};

class NodeNotRegistered : public Error {
  public:
    explicit NodeNotRegistered(WString type_name);
    const WString& type_name() const { return m_type_name; }

  private:
    WString m_type_name;
};

class NodeAlreadyRegistered : public Error {
  public:
    explicit NodeAlreadyRegistered(WString type_name);
    const WString& type_name() const { return m_type_name; }

  private:
    WString m_type_name;
};

} // namespace telvara::ui::vadode
