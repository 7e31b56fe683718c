#pragma once
// The modem simulator on 127.0.0.1, a Document over an in-memory store and a real call log.
#include "data/document.h"
#include "data/document_test_support.h"
#include "phone/call_log.h"
#include "phone/telephone.h"
#include "platform/messages.h"
#include "platform/modem/fast_timing.h"
#include "platform/modem/modem.h"
#include "platform/settings_store.h"
#include "runtime/active_scheduler.h"
#include "runtime/registry.h"
#include "runtime/scheduler_test_support.h"
#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace telvara::phone::testing {
using namespace std::chrono_literals;
namespace modem = platform::modem;
using modem::fast_modem;
using telvara::test::pump_for;
using telvara::test::pump_until;

class TelephoneTest : public data::testing::DocumentTest, public modem::SimOnLoopback {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        runtime::settings_store().set_recheck_interval(std::chrono::milliseconds(0));
        m_log = std::make_unique<CallLog>(root() + "/pim.vol");
        ASSERT_TRUE(m_log->is_open());
        m_document = std::make_unique<data::Document>(m_store, m_log.get(), files());
        m_document->load();
        m_document->add_listener(m_listener);
        m_scheduler = std::make_unique<runtime::CActiveScheduler>(u"PhoneTest");
        m_telephone = std::make_unique<Telephone>(*m_document, *m_scheduler, m_log.get());
        modem::ModemConfig config;
        config.device = device();
        config.timing = fast_modem();
        m_telephone->init_line(config);
        ASSERT_TRUE(pump_until([&] { return m_telephone->line_open(); }));
    }
    void TearDown() override {
        m_telephone.reset();
        m_scheduler.reset();
        if (m_document)
            m_document->remove_listener(m_listener);
        m_document.reset();
        m_log.reset();
        m_server.stop();
        runtime::settings_store().set_recheck_interval(platform::SettingsStore::default_recheck);
        DocumentTest::TearDown();
    }
    bool wait_received(const std::string& command, std::size_t times = 1) {
        return pump_until([&] { return received_count(command) >= times; });
    }
    std::size_t count_flag(int flag) const {
        const auto all = m_listener.flags();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), flag));
    }
    // The call log as "Incoming +4930123 (Ada)", sorted: calls begun in the same moment have no
    // order of their own.
    std::vector<std::string> logged() const {
        std::vector<std::string> out;
        for (const CallLogEntry& e : m_log->entries()) {
            const char* directions[] = {"Missed", "Incoming", "Outgoing", "Rejected"};
            out.push_back(directions[static_cast<int>(e.direction)] +
                          (" " + to_utf8(e.number.value_or(u"-"))) +
                          (e.name ? " (" + to_utf8(*e.name) + ")" : ""));
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    bool wait_flag(int flag, std::size_t times = 1) {
        return pump_until([&] { return count_flag(flag) >= times; });
    }
    data::testing::FakeStore m_store;
    data::testing::RecordingDocListener m_listener;
    std::unique_ptr<CallLog> m_log;
    std::unique_ptr<data::Document> m_document;
    std::unique_ptr<runtime::CActiveScheduler> m_scheduler;
    std::unique_ptr<Telephone> m_telephone;
};

} // namespace telvara::phone::testing
