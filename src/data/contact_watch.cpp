// Change delivery: reading the change journal after the last seen entry,
// telling this connection's writes from other processes', and turning the
// PIM_ITEM_* messages into listener calls.
//
// Every write, ours included, reaches the listener only through the journal,
// so each change arrives exactly once and in commit order whoever made it.
// PRAGMA data_version tells cheaply whether another connection committed;
// our own commits set a flag instead, since they do not move it.
#include "data/contact_watch.h"

#include "data/contact_store_impl.h"
#include "platform/clock.h"
#include "runtime/log.h"

#include <algorithm>

namespace telvara::data {

namespace {

constexpr std::uintptr_t kWatchTimerId = 1;
constexpr std::uint32_t kRemoteOffset = 5;

} // namespace

bool is_pim_item_message(std::uint32_t code) {
    return (code >= PIM_ITEM_CREATED_LOCAL && code <= PIM_ITEM_CHANGED_LOCAL) ||
           (code >= PIM_ITEM_CREATED_REMOTE && code <= PIM_ITEM_CHANGED_REMOTE);
}

ContactWatcher::ContactWatcher(ContactStore& store, platform::TargetRef deliver_to,
                               std::uint32_t interval_ms)
    : platform::MessageTarget(u"ContactWatcher"), m_store(store),
      m_deliver_to(std::move(deliver_to)) {
    platform::set_timer(ref(), kWatchTimerId, interval_ms);
}

ContactWatcher::~ContactWatcher() {
    platform::kill_timer(ref(), kWatchTimerId);
}

std::intptr_t ContactWatcher::handle(platform::Message& message) {
    if (message.id == platform::WM_TIMER && message.wparam == kWatchTimerId) {
        for (const auto& change : m_store.collect_changes()) {
            if (m_deliver_to)
                platform::post(m_deliver_to, change.code, change.oid);
            else
                m_store.handle_notification(change.code, change.oid);
        }
        return 0;
    }
    if (is_pim_item_message(message.id))
        return m_store.handle_notification(message.id, static_cast<std::uint32_t>(message.wparam));
    return 0;
}

std::vector<ContactNotification> ContactStore::collect_changes() {
    std::vector<ContactNotification> out;
    auto& impl = *m_impl;
    // A damaged volume is not read again: its journal may be as broken.
    if (!is_open() || impl.state.problem != VolumeProblem::none)
        return out;
    const std::int64_t version = impl.db.query_int("PRAGMA data_version");
    if (version == impl.data_version && !impl.own_write_pending)
        return out;
    impl.data_version = version;
    impl.own_write_pending = false;

    sql::Statement rows(impl.db,
                        "SELECT seq, oid, kind FROM contact_changes WHERE seq > ? ORDER BY seq");
    rows.bind_int(1, impl.last_seen);
    bool first = true;
    while (rows.step() == sql::Statement::Step::row) {
        const std::int64_t seq = rows.column_int(0);
        const std::int64_t kind = rows.column_int(2);
        if (first && seq > impl.last_seen + 1)
            runtime::log() << platform::tick_count()
                           << u" ContactManagerImpl2: change journal trimmed past "
                           << static_cast<long long>(impl.last_seen) << u"\n";
        first = false;
        impl.last_seen = seq;
        if (kind < 0 || kind > 2)
            continue;
        const bool own =
            std::any_of(impl.own_rows.begin(), impl.own_rows.end(),
                        [seq](const auto& r) { return seq > r.first && seq <= r.second; });
        const auto code =
            PIM_ITEM_CREATED_LOCAL + static_cast<std::uint32_t>(kind) + (own ? 0 : kRemoteOffset);
        out.push_back({code, static_cast<std::uint32_t>(rows.column_int(1))});
    }
    std::erase_if(impl.own_rows, [&impl](const auto& r) { return r.second <= impl.last_seen; });
    return out;
}

std::intptr_t ContactStore::handle_notification(std::uint32_t code, std::uint32_t oid) {
    const auto start = platform::tick_count();
    auto* listener = m_impl->listener;
    const char16_t* label = nullptr;
    switch (code) {
    case PIM_ITEM_CREATED_LOCAL:
    case PIM_ITEM_CREATED_REMOTE: {
        // Gone again before we read it: its deletion follows in the journal.
        ContactRecord record;
        record.oid = oid;
        if (read_contact(record) && listener != nullptr)
            listener->on_contact_added(*this, record);
        label = u" PIM_ITEM_CREATED_LOCAL = ";
        break;
    }
    case PIM_ITEM_DELETED_LOCAL:
    case PIM_ITEM_DELETED_REMOTE:
        if (listener != nullptr)
            listener->on_contact_removed(*this, oid);
        label = u" PIM_ITEM_DELETED_LOCAL = ";
        break;
    case PIM_ITEM_CHANGED_LOCAL:
    case PIM_ITEM_CHANGED_REMOTE:
        if (listener != nullptr)
            listener->on_contact_changed(*this, oid);
        label = u" PIM_ITEM_CHANGED_LOCAL = ";
        break;
    default:
        return 0;
    }
    runtime::log() << platform::tick_count() << label << (platform::tick_count() - start) << u"\n";
    return 0;
}

void ContactStore::start_watching(platform::TargetRef deliver_to, std::uint32_t interval_ms) {
    m_impl->watcher.reset();
    if (is_open())
        m_impl->watcher =
            std::make_unique<ContactWatcher>(*this, std::move(deliver_to), interval_ms);
}

void ContactStore::stop_watching() {
    m_impl->watcher.reset();
}

} // namespace telvara::data
