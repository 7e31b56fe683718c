#pragma once
// The contact and telephone objects of the running program, built in the
// order they depend on each other: the contact store (with the first start's
// demo data), the call log, the Document (which reads the recent calls from
// the log when it loads) and the photo cache on the splash's worker; then at
// the hand-over, on the UI thread they live on, the Telephone (whose modem
// events arrive there), the PhoneManager and the emergency shortcut, hooked
// into the application. Taken down on the UI thread in reverse order, the
// Telephone while the application's scheduler still exists.

#include "data/document.h"

#include <memory>
#include <string>

namespace telvara::app {
class Application;
}

namespace telvara::data {
class ContactStore;
class ContactPhotoCache;
class StoreContactSource;
} // namespace telvara::data

namespace telvara::phone {
class CallLog;
class EmergencyShortcut;
class PhoneManager;
class Telephone;
} // namespace telvara::phone

namespace telvara::platform::modem {
struct ModemConfig;
}

namespace telvara::app {

// Forgets a contact's cached photos when the Document reports it changed
// (a new photo is a change too), removed or (re)added.
class PhotoCacheInvalidation final : public data::DocumentListener {
  public:
    explicit PhotoCacheInvalidation(data::ContactPhotoCache& cache) : m_cache(cache) {}
    void on_document_refresh(const data::RefreshMessage& message) override;

  private:
    data::ContactPhotoCache& m_cache;
};

// The modem the "Modem" setting names; the built-in simulator gets its
// control socket for the device root (see platform/runtime_names.h).
platform::modem::ModemConfig modem_config_for(const std::string& device_root);

class PhoneObjects {
  public:
    PhoneObjects();
    // UI thread: the reverse of create() and start().
    ~PhoneObjects();
    PhoneObjects(const PhoneObjects&) = delete;
    PhoneObjects& operator=(const PhoneObjects&) = delete;

    // Worker thread: the store, the log, the Document and the photo cache
    // (earlier ones are taken down first).
    void create();
    // Worker thread: the Document's start-up load.
    void load();
    // UI thread, at the hand-over: change watching; the Telephone (its
    // timers on the application's scheduler), the PhoneManager and the
    // emergency shortcut; the modem line and the hooks (window to the front,
    // idle frames, the Talk key). Once only; nothing without create().
    void start(Application& application);

    data::ContactStore* store() const { return m_store.get(); }
    data::Document* document() const { return m_document.get(); }
    phone::CallLog* call_log() const { return m_call_log.get(); }
    data::ContactPhotoCache* photos() const { return m_photos.get(); }
    phone::Telephone* telephone() const { return m_telephone.get(); }
    phone::PhoneManager* phones() const { return m_phones.get(); }

  private:
    void destroy();
    // A contacts file or favourites file that cannot be used as it should:
    // said on stderr and, after the notices before it, on screen.
    void report_file_problems() const;

    std::unique_ptr<data::ContactStore> m_store;
    std::unique_ptr<data::StoreContactSource> m_source;
    std::unique_ptr<phone::CallLog> m_call_log;
    std::unique_ptr<data::Document> m_document;
    std::unique_ptr<data::ContactPhotoCache> m_photos;
    std::unique_ptr<PhotoCacheInvalidation> m_photo_listener;
    std::unique_ptr<phone::Telephone> m_telephone;
    std::unique_ptr<phone::PhoneManager> m_phones;
    std::unique_ptr<phone::EmergencyShortcut> m_emergency;
    Application* m_application = nullptr; // set by start()
    bool m_watching = false;
};

} // namespace telvara::app
