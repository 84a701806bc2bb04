// The Win32 registry backend against the real registry: each test works in a
// key of its own below HKEY_CURRENT_USER\Software and removes it afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"

namespace dbup {
namespace {

class RegistryWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = "Software\\dbup-test-" + std::to_string(::GetCurrentProcessId());
    path_ = root_ + "\\Tandril";
  }
  void TearDown() override {
    ::RegDeleteKeyA(HKEY_CURRENT_USER, (path_ + "\\General").c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, root_.c_str());
  }

  void Set(const std::string& name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (path_ + "\\General").c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
  }
  void SetText(const std::string& name, DWORD type, const std::string& text) {
    Set(name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }

  std::string root_;
  std::string path_;
};

TEST_F(RegistryWin32Test, StringTypesAreTakenLiterallyOthersFail) {
  SetText("DataDirectory", REG_SZ, "C:\\Tandril\\Data");
  SetText("InstallDirectory", REG_EXPAND_SZ, "%SystemRoot%\\Tandril");
  // Stored without its terminating zero, as some installers write it.
  Set("ServerDirectory", REG_SZ, "C:\\Srv", 6);
  const DWORD number = 42;
  Set("Number", REG_DWORD, &number, sizeof number);
  Set("Binary", REG_BINARY, "AB", 2);

  std::unique_ptr<RegistryKey> key;
  ASSERT_TRUE(OpenCurrentUserKey(path_, &key).ok());
  std::string value = "stale";
  ASSERT_TRUE(key->ReadString("General", "DataDirectory", &value).ok());
  EXPECT_EQ(value, "C:\\Tandril\\Data");
  ASSERT_TRUE(key->ReadString("General", "InstallDirectory", &value).ok());
  EXPECT_EQ(value, "%SystemRoot%\\Tandril") << "environment references are not expanded";
  ASSERT_TRUE(key->ReadString("General", "ServerDirectory", &value).ok());
  EXPECT_EQ(value, "C:\\Srv");
  EXPECT_TRUE(key->ReadString("General", "Number", &value).IsInvalidArgument());
  EXPECT_TRUE(key->ReadString("General", "Binary", &value).IsInvalidArgument());
  ASSERT_TRUE(key->ReadString("General", "Missing", &value).ok());
  EXPECT_EQ(value, "");
  ASSERT_TRUE(key->ReadString("Other", "DataDirectory", &value).ok());
  EXPECT_EQ(value, "") << "a missing subkey reads as empty";
}

TEST_F(RegistryWin32Test, OpeningCreatesTheMissingKeyEmpty) {
  std::unique_ptr<RegistryKey> key;
  ASSERT_TRUE(OpenCurrentUserKey(path_, &key).ok());
  std::string value = "stale";
  ASSERT_TRUE(key->ReadString("General", "DataDirectory", &value).ok());
  EXPECT_EQ(value, "");
  key.reset();
  HKEY created;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, &created),
            ERROR_SUCCESS);
  ::RegCloseKey(created);
  // The section is never created: the library only reads.
  EXPECT_NE(
      ::RegOpenKeyExA(HKEY_CURRENT_USER, (path_ + "\\General").c_str(), 0, KEY_READ, &created),
      ERROR_SUCCESS);
}

}  // namespace
}  // namespace dbup
