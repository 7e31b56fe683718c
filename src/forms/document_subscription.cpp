#include "forms/document_subscription.h"

namespace telvara::forms {

DocumentSubscription::~DocumentSubscription() {
    if (m_document != nullptr && data::Document::instance() == m_document)
        m_document->remove_listener(m_listener);
}

data::Document* DocumentSubscription::follow() {
    data::Document* document = data::Document::instance();
    if (document == m_document)
        return m_document;
    // The one followed so far is no longer the process's Document and may be
    // gone: it is not touched.
    m_document = document;
    if (m_document != nullptr)
        m_document->add_listener(m_listener);
    return m_document;
}

} // namespace telvara::forms
