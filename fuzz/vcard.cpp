// Fuzzes the vCard reader: no crash on any input, and every contact it reads
// must come back equal, photo included, when written and read again.
#include "data/vcard.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvara::data;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const VCardFile first = parse_vcards(text);
    for (const auto& contact : first.contacts) {
        const std::string written = write_vcard(contact.record, contact.photo);
        const VCardFile again = parse_vcards(written);
        if (again.contacts.size() != 1 || again.skipped_cards != 0)
            std::abort();
        const auto& back = again.contacts[0];
        if (back.record.first_name != contact.record.first_name ||
            back.record.last_name != contact.record.last_name ||
            back.record.company != contact.record.company ||
            back.record.fields != contact.record.fields || back.photo != contact.photo)
            std::abort();
    }
    return 0;
}
