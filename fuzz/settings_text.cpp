// Fuzzes the settings file parser: no crash on any input, and whatever it
// accepts must come back unchanged through the written form.
#include "platform/settings_store.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvara::platform;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    SettingsTree tree;
    std::string error;
    if (!parse_settings(text, tree, error))
        return 0;
    SettingsTree again;
    if (!parse_settings(serialize_settings(tree), again, error) || !(again == tree))
        std::abort();
    return 0;
}
