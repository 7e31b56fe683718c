// The telephone line against the modem simulator: calls, their records, the answer timer.
#include "phone/phone_manager.h"
#include "phone/phone_settings.h"
#include "phone_test_support.h"
#include <gtest/gtest.h>
#include <sstream>

namespace telvara::phone {
namespace {
using testing::pump_for;
using testing::pump_until;
using testing::TelephoneTest;
using Strings = std::vector<std::string>;
constexpr int k_incoming = 19, k_dialing = 20, k_connected = 21, k_ended = 22, k_caller = 23;

TEST_F(TelephoneTest, UnansweredCallsAreMissedCountedAndNamed) {
    m_document->contact_added(data::testing::person(
        7, u"Ada", u"Lovelace", {},
        {data::testing::phone(data::FieldType::Mobile, u"+49 (30) 123-45-67")}));
    for (std::size_t i = 1; i <= 2; ++i) {
        control(i == 1 ? "ring 1234567" : "ring 555");
        ASSERT_TRUE(wait_flag(k_incoming, i));
        control("hangup");
        ASSERT_TRUE(wait_flag(k_ended, i));
        EXPECT_EQ(missed_call_count(), i);
    }
    EXPECT_EQ(logged(), (Strings{"Missed 1234567 (Ada Lovelace)", "Missed 555"}))
        << "named by the last seven digits";
    PhoneManager::reset_missed_call_count();
    EXPECT_EQ(PhoneManager::missed_call_count(), 0u);
}

// Length runs from connect; at shutdown a call is logged as ended, a knocking one as missed.
TEST_F(TelephoneTest, LoggedLengthRunsFromConnectAndShutdownEndsTheCall) {
    constexpr std::int64_t ms = 10'000;
    const std::int64_t before = file_time_now();
    control("ring +4930123");
    ASSERT_TRUE(wait_flag(k_caller));
    pump_for(std::chrono::milliseconds(1500)); // ringing
    m_telephone->answer_call();
    ASSERT_TRUE(wait_flag(k_connected));
    control("ring 555");
    pump_for(std::chrono::milliseconds(300)); // talking
    EXPECT_EQ(received_count("ATA"), 1u) << "the connected state stops the answer timer";
    m_telephone.reset();
    EXPECT_EQ(logged(), (Strings{"Incoming +4930123", "Missed 555"}));
    for (const CallLogEntry& e : m_log->entries()) {
        const auto length = e.end - e.start;
        if (e.direction == CallDirection::Missed) {
            EXPECT_EQ(length, 0);
        } else {
            EXPECT_TRUE(e.start >= before && e.start < before + 1000 * ms) << "listed at the ring";
            EXPECT_TRUE(length >= 250 * ms && length < 1200 * ms) << length;
        }
    }
}

TEST_F(TelephoneTest, SecondNumberOrDialDuringACallIsNotDialledNorShown) {
    PhoneManager manager(m_telephone.get());
    manager.call_number(u"555");
    ASSERT_TRUE(wait_flag(k_connected));
    const std::size_t callers = count_flag(k_caller);
    EXPECT_FALSE(manager.make_call(u"888"));
    manager.call_number(u"777");
    EXPECT_EQ(m_telephone->facts().caller_number, u"555");
    EXPECT_EQ(count_flag(k_caller), callers);
    pump_for(std::chrono::milliseconds(300));
    EXPECT_EQ(received_count("ATD777;"), 0u);
    EXPECT_EQ(received_count("ATD888;"), 0u);
    EXPECT_TRUE(m_telephone->connected());
    // Once the call is over, numbers are dialled again.
    m_telephone->drop_call();
    ASSERT_TRUE(wait_flag(k_ended));
    manager.call_number(u"777");
    EXPECT_EQ(m_telephone->facts().caller_number, u"777");
    ASSERT_TRUE(wait_received("ATD777;"));
    ASSERT_TRUE(wait_flag(k_connected, 2));
    m_telephone->drop_call();
    ASSERT_TRUE(wait_flag(k_ended, 2));
    // A second dial before the first call is listed is refused; a failed one blocks nothing.
    pump_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(m_telephone->dial(u"555"));
    EXPECT_FALSE(m_telephone->dial(u"555"));
    ASSERT_TRUE(wait_flag(k_connected, 3));
    pump_for(std::chrono::milliseconds(100));
    m_telephone->drop_call();
    ASSERT_TRUE(wait_flag(k_ended, 3));
    pump_for(std::chrono::milliseconds(200));
    EXPECT_EQ(received_count("ATD555;"), 2u);
    EXPECT_EQ(logged(), (Strings{"Outgoing 555", "Outgoing 555", "Outgoing 777"}));
    EXPECT_GT(m_log->entries().front().end, m_log->entries().front().start);
    control("busy 888");
    EXPECT_TRUE(m_telephone->dial(u"888"));
    ASSERT_TRUE(wait_flag(k_ended, 4));
    EXPECT_TRUE(m_telephone->dial(u"555"));
    ASSERT_TRUE(wait_received("ATD555;", 3));
}

// What the line adds to the call screen's toggles: no early tones, one connect, each call afresh.
TEST_F(TelephoneTest, TonesWaitForTheAnswerAndEveryCallStartsAfresh) {
    control("noanswer 777");
    PhoneManager manager(m_telephone.get());
    manager.call_number(u"777");
    ASSERT_TRUE(wait_flag(k_dialing, 2));
    m_telephone->send_digit(u"5");
    control("answer");
    ASSERT_TRUE(wait_flag(k_connected));
    m_telephone->toggle_mute();
    m_telephone->toggle_speaker();
    m_telephone->toggle_hold();
    ASSERT_TRUE(wait_received("AT+CHLD=2"));
    m_telephone->toggle_hold();
    ASSERT_TRUE(wait_received("AT+CHLD=2", 2));
    EXPECT_EQ(m_telephone->modem()->speaker(), platform::modem::SpeakerState::on);
    pump_for(std::chrono::milliseconds(300));
    EXPECT_EQ(count_flag(k_connected), 1u);
    EXPECT_EQ(received_count("AT+VTS=5"), 0u);
    m_telephone->drop_call();
    ASSERT_TRUE(wait_flag(k_ended));
    const auto& facts = m_telephone->facts();
    EXPECT_FALSE(facts.muted || facts.speaker_on || facts.on_hold);
    EXPECT_EQ(m_telephone->modem()->speaker(), platform::modem::SpeakerState::off);
    ASSERT_TRUE(wait_received("AT+CMUT=0"));
    EXPECT_EQ(logged(), Strings{"Outgoing 777"});
}

TEST_F(TelephoneTest, MuteTheModemRefusesIsTakenBackAndShownAgain) {
    int shown_again = 0;
    m_telephone->set_hooks({{}, [&] { ++shown_again; }});
    // No call: the modem has no microphone to mute and refuses.
    m_telephone->toggle_mute();
    EXPECT_TRUE(m_telephone->facts().muted); // shown at once
    ASSERT_TRUE(wait_received("AT+CMUT=1"));
    ASSERT_TRUE(pump_until([&] { return !m_telephone->facts().muted; }));
    EXPECT_EQ(shown_again, 1);
    // Accepted during a call: it stays.
    PhoneManager manager(m_telephone.get());
    manager.call_number(u"555");
    ASSERT_TRUE(wait_flag(k_connected));
    m_telephone->toggle_mute();
    ASSERT_TRUE(wait_received("AT+CMUT=1", 2));
    pump_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(m_telephone->facts().muted);
    EXPECT_EQ(shown_again, 1);
}

TEST_F(TelephoneTest, ModemThatStopsAnsweringMidCallDoesNotHangTheLoop) {
    PhoneManager manager(m_telephone.get());
    manager.call_number(u"555");
    ASSERT_TRUE(wait_flag(k_connected));
    control("silent on");
    const auto before = std::chrono::steady_clock::now();
    // Operations return at once although nothing answers them.
    m_telephone->toggle_mute();
    m_telephone->toggle_hold();
    m_telephone->send_digit(u"1");
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(100));
    // The loop keeps running; the call ends as lost.
    ASSERT_TRUE(wait_flag(k_ended));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    EXPECT_TRUE(m_telephone->current_call() == 0 && !m_telephone->connected());
    ASSERT_EQ(m_log->entries().size(), 1u);
    // Operations on a closed line do nothing; mute is not shown either.
    m_telephone->answer_call();
    m_telephone->drop_call();
    m_telephone->toggle_mute();
    EXPECT_FALSE(m_telephone->facts().muted);
    control("silent off");
    ASSERT_TRUE(pump_until([&] { return m_telephone->line_open(); }));
}

TEST_F(TelephoneTest, AnswerTimerPressesAtMostFiveTimesASecondApart) {
    control("ring 555");
    ASSERT_TRUE(wait_flag(k_incoming));
    // Disabled, the connected state goes unnoticed: the timer runs out.
    m_telephone->set_enabled(LineEnabled::no);
    m_telephone->answer_call();
    std::vector<std::chrono::steady_clock::time_point> presses;
    ASSERT_TRUE(pump_until(
        [&] {
            if (received_count("ATA") > presses.size())
                presses.push_back(std::chrono::steady_clock::now());
            return presses.size() >= 5;
        },
        std::chrono::milliseconds(8000)));
    pump_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(received_count("ATA"), 5u);
    for (std::size_t i = 1; i < presses.size(); ++i)
        EXPECT_GE(presses[i] - presses[i - 1], std::chrono::milliseconds(850));
    EXPECT_EQ(count_flag(k_connected), 0u);
}

// The line callback on its own, without a modem.
class LineCallbackTest : public data::testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        m_document = std::make_unique<data::Document>(m_store, nullptr, files());
        m_document->add_listener(m_listener);
        m_scheduler = std::make_unique<runtime::CActiveScheduler>(u"LineTest");
        m_telephone = std::make_unique<Telephone>(*m_document, *m_scheduler, nullptr);
    }
    void TearDown() override {
        m_telephone.reset();
        m_scheduler.reset();
        m_document->remove_listener(m_listener);
        m_document.reset();
        DocumentTest::TearDown();
    }
    void line(LineMessage message, std::uint32_t device, std::uint64_t p1 = 0,
              std::string number = {}) {
        LineEvent e;
        std::tie(e.device, e.message, e.param1, e.number) = std::tie(device, message, p1, number);
        e.param2 = message == LineMessage::AppNewCall ? device : 0;
        m_telephone->LineCallbackFunc(e);
    }
    data::testing::FakeStore m_store;
    data::testing::RecordingDocListener m_listener;
    std::unique_ptr<data::Document> m_document;
    std::unique_ptr<runtime::CActiveScheduler> m_scheduler;
    std::unique_ptr<Telephone> m_telephone;
};

// Rows of line events: nD new call on device D; oD/cD/dD offering/connected/gone; iD=N caller.
TEST_F(LineCallbackTest, EventsOfTheLine) {
    const struct {
        const char* events;
        bool leftover, disabled;
        std::vector<int> flags;
        const char16_t* caller;
        int current, timers;
    } rows[] = {
        // clang-format off
        {"n3 i3=123 i3=123 i3=124 i4=999", false, false, {k_caller, k_caller}, u"124", 3, 0},
        {"n3 o3 i3=", true, false, {k_incoming}, u"skinUnknown", 3, 0}, // withheld
        {"n3 n4 o4 d4", false, false, {}, u"skinUnknown", 3, 0},
        {"d9", false, false, {k_ended}, u"skinUnknown", 0, 0},
        {"n3 c3 d3", false, false, {k_connected, k_ended}, u"skinUnknown", 0, 1},
        {"n3 o3 i3=123 c3 d3", false, true, {k_ended}, u"skinUnknown", 0, 0},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.events);
        m_telephone.reset();
        m_telephone = std::make_unique<Telephone>(*m_document, *m_scheduler, nullptr);
        if (row.leftover)
            m_telephone->set_caller_number(u"555"); // from an earlier dial
        if (row.disabled)
            m_telephone->set_enabled(LineEnabled::no);
        m_listener.messages.clear();
        std::istringstream events(row.events);
        for (std::string e; events >> e;) {
            const auto device = static_cast<std::uint32_t>(e[1] - '0');
            const auto state = [](LineCallState s) { return static_cast<std::uint64_t>(s); };
            // clang-format off
            switch (e[0]) {
            case 'n': line(LineMessage::AppNewCall, device); break;
            case 'o': line(LineMessage::CallState, device, state(LineCallState::Offering)); break;
            case 'c': line(LineMessage::CallState, device, state(LineCallState::Connected)); break;
            case 'd': line(LineMessage::CallState, device, state(LineCallState::Disconnected)); break;
            case 'i': line(LineMessage::CallInfo, device, 0, e.substr(3)); break;
            }
            // clang-format on
        }
        EXPECT_EQ(m_listener.flags(), row.flags);
        EXPECT_EQ(m_telephone->facts().caller_number, row.caller);
        EXPECT_EQ(m_telephone->current_call(), row.current);
        EXPECT_FALSE(m_telephone->connected());
        EXPECT_EQ(m_scheduler->active_count(), row.timers);
    }
    // Without a line every operation does nothing.
    m_telephone.reset();
    m_telephone = std::make_unique<Telephone>(*m_document, *m_scheduler, nullptr);
    m_listener.messages.clear();
    for (auto op : {&Telephone::answer_call, &Telephone::drop_call, &Telephone::toggle_hold,
                    &Telephone::toggle_mute, &Telephone::toggle_speaker})
        (*m_telephone.*op)();
    m_telephone->send_digit(u"1");
    const auto& facts = m_telephone->facts();
    EXPECT_FALSE(facts.on_hold || facts.muted || facts.speaker_on || !m_listener.flags().empty());
}

namespace modem = platform::modem;

class SecondCallTest : public testing::TelephoneTest {
  protected:
    // 111 rings, is answered; then 222 knocks.
    void two_calls() {
        control("ring 111");
        ASSERT_TRUE(wait_flag(k_caller));
        m_telephone->answer_call();
        ASSERT_TRUE(wait_flag(k_connected));
        control("ring 222 Anna Berg");
        ASSERT_TRUE(pump_until([&] { return waiting(); }));
    }
    // Knocking, with its number and the network's name for it.
    bool waiting() const {
        const auto& other = m_telephone->facts().other;
        return other && other->state == OtherCall::State::waiting && other->number == u"222" &&
               other->network_name == u"Anna Berg";
    }
    bool held(WStringView number) const {
        const auto& other = m_telephone->facts().other;
        return other && other->state == OtherCall::State::held && other->number == number;
    }
};

TEST_F(SecondCallTest, AWaitingCallTurnedAwayIsLoggedAsRejectedAndNotCounted) {
    two_calls();
    EXPECT_EQ(count_flag(k_incoming), 1u) << "the knock does not take the screen";
    m_telephone->answer_waiting(WaitingAnswer::reject);
    ASSERT_TRUE(wait_received("AT+CHLD=0"));
    ASSERT_TRUE(pump_until([&] { return !m_telephone->facts().other; }));
    EXPECT_EQ(m_telephone->facts().caller_number, u"111") << "the first call goes on";
    EXPECT_TRUE(m_telephone->connected());
    m_telephone->drop_call();
    ASSERT_TRUE(wait_flag(k_ended));
    EXPECT_EQ(logged(), (Strings{"Incoming 111", "Rejected 222 (Anna Berg)"}));
    EXPECT_EQ(missed_call_count(), 0u) << "the user turned it away";
}

TEST_F(SecondCallTest, JoinedCallsAreAConference) {
    two_calls();
    m_telephone->answer_waiting(WaitingAnswer::hold_current);
    ASSERT_TRUE(pump_until([&] { return held(u"111"); }));
    ASSERT_TRUE(m_telephone->can_join());
    m_telephone->join_calls();
    ASSERT_TRUE(pump_until([&] {
        const auto& other = m_telephone->facts().other;
        return other && other->state == OtherCall::State::joined;
    }));
    EXPECT_FALSE(m_telephone->facts().on_hold);
}

// A dial that cannot go out ends at once with its reason; nothing reaches the modem.
TEST_F(TelephoneTest, DialsTheLineCannotPlaceEndAtOnceWithTheirReason) {
    const struct {
        const char* setup;
        const char16_t* number;
        CallEnd reason;
    } cases[] = {
        {nullptr, u"55;5", CallEnd::invalid_number},
        {nullptr, u"12\r\nATH", CallEnd::invalid_number},
        {nullptr, u"$(reboot)", CallEnd::invalid_number},
        {"register off", u"555", CallEnd::no_service},
        {"sim pin 1234", u"555", CallEnd::sim_locked},
    };
    for (const auto& c : cases) {
        control("reset");
        if (c.setup != nullptr) {
            control(c.setup);
            ASSERT_TRUE(pump_until([&] {
                const auto& network = m_telephone->network();
                return c.reason == CallEnd::sim_locked
                           ? network.sim == modem::SimState::pin_required
                           : network.registration == modem::Registration::none;
            }));
        }
        const std::size_t ended = count_flag(k_ended);
        EXPECT_FALSE(m_telephone->dial(c.number)) << to_utf8(c.number);
        EXPECT_EQ(count_flag(k_ended), ended + 1);
        EXPECT_EQ(m_telephone->facts().last_end, c.reason) << to_utf8(c.number);
        EXPECT_EQ(m_telephone->current_call(), 0);
    }
    EXPECT_EQ(received_count("ATD555;"), 0u);
    // An emergency number goes out with the SIM still locked from the last row.
    EXPECT_TRUE(m_telephone->dial(u"112", DialKind::emergency));
    EXPECT_TRUE(wait_received("ATD112;"));
}

TEST_F(TelephoneTest, TheCallKeyWithNothingTypedCallsTheLastNumberAgain) {
    PhoneManager manager(m_telephone.get());
    std::vector<WString> notices;
    manager.set_hooks({[&](WStringView key, WStringView) { notices.emplace_back(key); }});
    manager.call_number(u"");
    EXPECT_EQ(notices, std::vector<WString>{kNoticeNoRedial}) << "nothing to call yet";
    // An incoming call is no number to call again; the newest outgoing one is.
    const std::int64_t now = file_time_now();
    m_log->add({now - 3'000'000'000, now, CallDirection::Outgoing, u"0301111", std::nullopt});
    m_log->add({now - 2'000'000'000, now, CallDirection::Outgoing, u"0302222", std::nullopt});
    m_log->add({now - 1'000'000'000, now, CallDirection::Incoming, u"0303333", std::nullopt});
    m_document->update_log();
    manager.call_number(u"");
    EXPECT_TRUE(wait_received("ATD0302222;"));
    EXPECT_EQ(m_telephone->facts().caller_number, u"0302222");
}

} // namespace
} // namespace telvara::phone
