// Building, starting and taking down the contact and telephone objects.
#include "app/phone_objects.h"

#include "app/application.h"
#include "app/demo_data.h"
#include "data/contact_photo.h"
#include "data/contact_source.h"
#include "data/contact_store.h"
#include "forms/notice_form.h"
#include "forms/write_notice.h"
#include "phone/call_log.h"
#include "phone/emergency.h"
#include "phone/phone_manager.h"
#include "phone/phone_settings.h"
#include "phone/telephone.h"
#include "platform/clock.h"
#include "platform/modem/modem.h"
#include "platform/runtime_names.h"
#include "runtime/log.h"
#include "runtime/paths.h"
#include "ui/rich_text_node.h"

#include <cstdio>

namespace telvara::app {

namespace {

std::string file_base_name(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

void PhotoCacheInvalidation::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    if (message.has(RefreshFlag::ContactChanged) || message.has(RefreshFlag::ContactRemoved) ||
        message.has(RefreshFlag::ContactAdded))
        m_cache.invalidate(message.slot(data::RefreshSlot::ContactOid));
}

platform::modem::ModemConfig modem_config_for(const std::string& device_root) {
    platform::modem::ModemConfig config;
    config.device = phone::modem_device();
    if (config.device == "sim")
        config.sim_control_socket = platform::sim_control_socket_for(device_root);
    return config;
}

PhoneObjects::PhoneObjects() = default;

PhoneObjects::~PhoneObjects() {
    destroy();
}

void PhoneObjects::destroy() {
    if (m_application != nullptr)
        m_application->set_emergency_shortcut({});
    m_application = nullptr;
    // Users first: the shortcut dials through the manager, the manager
    // through the Telephone, which reports to the Document and the log.
    m_emergency.reset();
    ui::set_open_url_handler({});
    m_phones.reset();
    m_telephone.reset();
    if (m_store) {
        if (m_watching)
            m_store->stop_watching();
        m_store->set_listener(nullptr);
    }
    m_watching = false;
    if (m_document && m_photo_listener)
        m_document->remove_listener(*m_photo_listener);
    m_photo_listener.reset();
    m_photos.reset();
    m_document.reset();
    m_call_log.reset();
    m_source.reset();
    m_store.reset();
}

void PhoneObjects::create() {
    destroy();
    m_store = std::make_unique<data::ContactStore>();
    m_source = std::make_unique<data::StoreContactSource>(*m_store);
    m_call_log = std::make_unique<phone::CallLog>();
    // Before the Document reads anything, so the first screen shows it.
    add_demo_data_on_first_start(*m_store, *m_call_log, phone::file_time_now());
    m_document = std::make_unique<data::Document>(*m_source, m_call_log.get());
    m_store->set_listener(m_document.get());
    m_photos = std::make_unique<data::ContactPhotoCache>(*m_store);
    m_photo_listener = std::make_unique<PhotoCacheInvalidation>(*m_photos);
    m_document->add_listener(*m_photo_listener);
}

void PhoneObjects::load() {
    if (m_document)
        m_document->load();
}

void PhoneObjects::report_file_problems() const {
    if (m_store) {
        const data::VolumeState& state = m_store->volume_state();
        if (const WStringView key = forms::volume_notice_key(state); !key.empty()) {
            std::fprintf(stderr, "telvara: %s\n", m_store->volume_problem_text().c_str());
            forms::show_notice(key, from_utf8(file_base_name(m_store->file_name())),
                               forms::NoticeOrder::AfterOthers);
        }
    }
    if (!m_document)
        return;
    const data::FavoritesLoad& favorites = m_document->favorites_file();
    const std::string& path = data::DocumentFiles::defaults().favorites;
    if (favorites.state == data::FavoritesFile::Damaged) {
        const std::string kept =
            favorites.kept_as.empty()
                ? "it could not be moved aside (" + favorites.reason + ") and is not written"
                : "the file is kept as " + favorites.kept_as;
        std::fprintf(stderr, "telvara: the favourites file %s is damaged: %zu entries read, %s\n",
                     path.c_str(), m_document->favorites().size(), kept.c_str());
        forms::show_notice(
            u"skinFavoritesDamaged",
            from_utf8(file_base_name(favorites.kept_as.empty() ? path : favorites.kept_as)),
            forms::NoticeOrder::AfterOthers);
    } else if (favorites.state == data::FavoritesFile::Unreadable) {
        std::fprintf(stderr,
                     "telvara: the favourites file %s cannot be read (%s); it is not written\n",
                     path.c_str(), favorites.reason.c_str());
        forms::show_notice(u"skinFavoritesUnreadable", {}, forms::NoticeOrder::AfterOthers);
    }
}

void PhoneObjects::start(Application& application) {
    if (!m_document || m_telephone)
        return;
    report_file_problems();
    // The watcher delivers on the thread that starts it.
    m_store->start_watching();
    m_watching = true;

    // Born on the thread they live on: the singletons appear to the rest of
    // the program (and to scripts) only once they are ready.
    GameBase& game = application.game();
    m_telephone =
        std::make_unique<phone::Telephone>(*m_document, game.active_scheduler(), m_call_log.get());
    m_phones = std::make_unique<phone::PhoneManager>(m_telephone.get());
    m_emergency = std::make_unique<phone::EmergencyShortcut>(*m_phones);
    m_telephone->set_hooks(
        {[&game, &application] {
             // Whatever the loop was doing, the call shows now.
             game.wake();
             application.set_dirty();
             game.bring_to_front();
             game.update_layout();
         },
         // A toggle taken back: the call screen redraws.
         [&application] { application.set_dirty(); },
         [](data::WriteFailure failure) { forms::show_not_saved(forms::Unsaved::Call, failure); }});
    m_phones->set_hooks(
        {[](WStringView key, WStringView detail) { forms::show_notice(key, detail); }});
    // Links tapped in rich texts open through the desktop's handlers.
    ui::set_open_url_handler(
        [phones = m_phones.get()](WStringView address) { return phones->open_url(address); });
    application.set_emergency_shortcut([this](const ui::KeyEvent& event) {
        return m_emergency->on_key(event.code, event.pressed ? phone::KeyAction::pressed
                                                             : phone::KeyAction::released);
    });
    m_application = &application;

    // The modem's events arrive on the thread that opens the line.
    platform::modem::ModemConfig config = modem_config_for(runtime::device_root());
    if (!config.sim_control_socket.empty())
        runtime::log() << platform::tick_count() << u" Modem control: "
                       << from_utf8(config.sim_control_socket) << u"\n";
    m_telephone->init_line(std::move(config));
}

} // namespace telvara::app
