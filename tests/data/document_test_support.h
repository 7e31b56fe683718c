#pragma once
// The Document tests' world: an in-memory store, a call log, a recording listener, a device root.
#include "data/call_record.h"
#include "data/contact_source.h"
#include "data/document.h"
#include "runtime/paths.h"
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace telvara::data::testing {
inline ContactRecord person(std::uint32_t oid, std::u16string first, std::u16string last,
                            std::u16string company = {}, std::vector<ContactField> fields = {}) {
    ContactRecord r;
    std::tie(r.oid, r.first_name, r.last_name, r.company, r.fields) =
        std::tie(oid, first, last, company, fields);
    return r;
}
inline ContactField phone(FieldType type, std::u16string number) {
    return ContactField(type, std::move(number));
}

// Contacts by oid, as the SQLite store hands them out.
class FakeStore : public ContactSource {
  public:
    std::size_t load_contacts(std::vector<ContactRecord>& out) override {
        out.clear();
        for (const auto& [oid, record] : contacts)
            out.push_back(record);
        return out.size();
    }
    bool read_contact(ContactRecord& record) override {
        auto it = contacts.find(record.oid);
        if (it == contacts.end())
            return false;
        record = it->second;
        return true;
    }
    void load_categories(std::vector<WString>& out) override { out = categories; }
    void put(ContactRecord record) { contacts[record.oid] = std::move(record); }
    std::map<std::uint32_t, ContactRecord> contacts;
    std::vector<WString> categories;
};

class FakeCallLog : public CallLogSource {
  public:
    void read_call_log(CallRecordConsumer& consumer) override {
        ++reads;
        for (const CallRecord& r : records)
            consumer.on_call_record(r);
    }
    std::vector<CallRecord> records;
    int reads = 0;
};
inline CallRecord call(std::u16string number, CallKind kind, std::int64_t time) {
    CallRecord r;
    std::tie(r.number, r.kind, r.time) = std::tie(number, kind, time);
    return r;
}

class RecordingDocListener : public DocumentListener {
  public:
    void on_document_refresh(const RefreshMessage& message) override {
        messages.push_back(message);
    }
    // The flags of every message in order (each message's set flags).
    std::vector<int> flags() const {
        std::vector<int> out;
        for (const RefreshMessage& m : messages)
            for (int f = 0; f < 24; ++f)
                if (m.flags[static_cast<std::size_t>(f)] != 0)
                    out.push_back(f);
        return out;
    }
    std::vector<RefreshMessage> messages;
};

// A private device root (settings store, log) and folder for the Document's files.
class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "doc-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_previous_root = runtime::device_root();
        runtime::set_device_root(m_root);
    }
    void TearDown() override {
        runtime::set_device_root(m_previous_root);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    const std::string& root() const { return m_root; }
    DocumentFiles files() const {
        DocumentFiles f;
        const char* data = std::getenv("TELVARA_TEST_DATA");
        f.keyboard = std::string(data != nullptr ? data : "tests/data") + "/keyboard.txt";
        f.favorites = m_root + "/favorits.dat";
        return f;
    }
    // The contacts a fresh filter finds, in the Document's order: those that
    // start with the words first, then those with digits inside a number.
    static std::vector<std::uint32_t> ranked(const Document& doc, const ContactFilter& filter) {
        std::vector<std::uint32_t> prefix, inside;
        for (const ContactEntry* e : doc.all_contacts()) {
            const MatchTier tier = filter.rank(e->search_view());
            if (tier != MatchTier::None)
                (tier == MatchTier::Prefix ? prefix : inside).push_back(e->oid());
        }
        prefix.insert(prefix.end(), inside.begin(), inside.end());
        return prefix;
    }
    static std::vector<std::uint32_t> oids(const ContactList& list) {
        std::vector<std::uint32_t> out;
        for (const ContactEntry* e : list)
            out.push_back(e->oid());
        return out;
    }

  private:
    std::string m_root;
    std::string m_previous_root;
};

} // namespace telvara::data::testing
