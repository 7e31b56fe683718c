#pragma once
// Contact store tests: a private device root per test and a listener that records every call.
#include "data/contact_store.h"
#include "document_test_support.h"
#include <string>
#include <vector>

namespace telvara::data::testing {

// A fresh device root for the test, removed afterwards.
class StoreTest : public DocumentTest {
  protected:
    std::string volume() const { return runtime::file_path(u"\\pim.vol"); }
};

struct ListenerCall {
    enum Kind { added, progress, changed, removed } kind;
    std::uint32_t oid = 0; // or the progress index
    std::size_t count = 0;
    ContactRecord record;
};

class RecordingListener : public ContactStoreListener {
  public:
    void on_contact_added(ContactStore&, const ContactRecord& record) override {
        calls.push_back({ListenerCall::added, record.oid, 0, record});
    }
    void on_load_progress(ContactStore&, std::size_t index, std::size_t count) override {
        calls.push_back({ListenerCall::progress, static_cast<std::uint32_t>(index), count, {}});
    }
    void on_contact_changed(ContactStore&, std::uint32_t oid) override {
        calls.push_back({ListenerCall::changed, oid, 0, {}});
    }
    void on_contact_removed(ContactStore&, std::uint32_t oid) override {
        calls.push_back({ListenerCall::removed, oid, 0, {}});
    }
    // "added 5 Ann Lee", "changed 5", "removed 7", "progress 25 of 59".
    std::vector<std::string> log() const {
        std::vector<std::string> out;
        for (const ListenerCall& c : calls) {
            const char* kinds[] = {"added ", "progress ", "changed ", "removed "};
            out.push_back(kinds[c.kind] + std::to_string(c.oid));
            if (c.kind == ListenerCall::added)
                out.back() += " " + to_utf8(c.record.first_name + u" " + c.record.last_name);
            if (c.kind == ListenerCall::progress)
                out.back() += " of " + std::to_string(c.count);
        }
        return out;
    }
    std::vector<ListenerCall> calls;
};
// Fields without the empty Categories field every read record carries.
inline std::vector<ContactField> without_empty_categories(std::vector<ContactField> fields) {
    std::erase_if(fields, [](const ContactField& f) {
        return f.type == FieldType::Categories && f.value.empty();
    });
    return fields;
}

} // namespace telvara::data::testing
