#pragma once
// A fresh, empty device root per test: the settings store and the log bound to a temporary folder.
#include "platform/settings_store.h"
#include "runtime/paths.h"
#include "runtime/registry.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace telvara::test_support {

class DeviceRootTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "root-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
        runtime::set_device_root(m_root);
        // Tests change the file behind the store's back and expect it noticed.
        runtime::settings_store().set_recheck_interval(std::chrono::milliseconds(0));
    }
    void TearDown() override {
        runtime::settings_store().set_recheck_interval(platform::SettingsStore::default_recheck);
        runtime::set_device_root(std::filesystem::temp_directory_path().string() + "/no-such-root");
        std::filesystem::remove_all(m_root);
    }
    const std::string& root() const { return m_root; }

  private:
    std::string m_root;
};
inline std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace telvara::test_support
