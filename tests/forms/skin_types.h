#pragma once
// What the screen tests share about skins: the node types (registered once
// for the process, as in the application; whichever suite runs first
// registers them) and the shipped default skin, compiled by the build.

#include "ui/node_registry.h"
#include "ui/properties.h"
#include "ui/widget_registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace telvara::forms::test {

inline void ensure_skin_types() {
    auto& registry = ui::NodeRegistry::instance();
    if (!registry.contains(u"node"))
        ui::register_layout_node_types(registry);
    if (!registry.contains(u"button"))
        ui::register_widget_node_types(registry);
}

#ifdef TELVARA_PROGRAM_SKINS
// Registers the node types, loads "default.skin" at design size into
// `impl` and installs it in `skin`.
inline ::testing::AssertionResult install_default_skin(ui::Properties& skin,
                                                       std::unique_ptr<ui::PropertiesImpl>& impl) {
    ensure_skin_types();
    const std::string folder = TELVARA_PROGRAM_SKINS;
    std::ifstream in(folder + "/default.skin", std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    impl = std::make_unique<ui::PropertiesImpl>(std::move(bytes), folder, u"default.skin", 0);
    if (!impl->is_loaded())
        return ::testing::AssertionFailure() << impl->load_error();
    if (!skin.install(*impl))
        return ::testing::AssertionFailure() << "the default skin was not installed";
    return ::testing::AssertionSuccess();
}
#endif

} // namespace telvara::forms::test
