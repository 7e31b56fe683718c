#pragma once
// DocumentSubscription: a screen's registration with the Document of the
// process. follow() registers with the current Document (one that has been
// replaced is not touched); the destructor leaves it, but only while it is
// still the process's Document, since a screen may outlive the one it followed.
// It reads like a pointer to the followed Document.

#include "data/document.h"

#include <cstddef>

namespace telvara::forms {

class DocumentSubscription {
  public:
    explicit DocumentSubscription(data::DocumentListener& listener) : m_listener(listener) {}
    ~DocumentSubscription();
    DocumentSubscription(const DocumentSubscription&) = delete;
    DocumentSubscription& operator=(const DocumentSubscription&) = delete;

    // The Document now followed (null when the process has none).
    data::Document* follow();

    data::Document* get() const { return m_document; }
    data::Document* operator->() const { return m_document; }
    data::Document& operator*() const { return *m_document; }
    explicit operator bool() const { return m_document != nullptr; }
    bool operator==(std::nullptr_t) const { return m_document == nullptr; }
    bool operator==(const data::Document* document) const { return m_document == document; }

  private:
    data::DocumentListener& m_listener;
    data::Document* m_document = nullptr;
};

} // namespace telvara::forms
