#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/env.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "support/temp_dir.h"

namespace dbup {
namespace {

constexpr char kGeneral[] = "HKEY_CURRENT_USER\\Software\\Velmora\\Tandril\\General";

// "C:\A" as regedit writes an expandable string: UTF-16LE bytes and a zero.
constexpr char kExpandBytes[] = "43,00,3a,00,5c,00,41,00,00,00";

TEST(RegistryFileTest, ReadsTheValueFormsOfTheRegistryEditor) {
  std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; exported for a test\r\n"
      "[HKEY_CURRENT_USER\\Software\\Velmora\\Tandril\\General]\r\n"
      "\"ServerDirectory\"=\"C:\\\\Tandril\\\\\"\r\n"
      "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
      "\"DataDirectory\"=hex(2):25,00,44,00,41,00,\\\r\n"
      "  54,00,41,00,25,00,00,00\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Blob\"=hex:01,ff\r\n"
      "@=\"default\"\r\n"
      "\"Gone\"=\"x\"\r\n"
      "\"Gone\"=-\r\n";
  RegistryFile file;
  ASSERT_TRUE(RegistryFile::Parse(text, &file).ok());

  const RegistryValue* v = file.Find(kGeneral, "serverdirectory");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->type, kRegSz);
  EXPECT_EQ(v->text, "C:\\Tandril\\");
  EXPECT_EQ(file.Find(kGeneral, "Quoted")->text, "say \"hi\"");
  v = file.Find("hkcu\\software\\velmora\\tandril\\general", "DataDirectory");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->type, kRegExpandSz);
  EXPECT_EQ(v->text, "%DATA%");
  v = file.Find(kGeneral, "Count");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->type, kRegDword);
  EXPECT_EQ(v->data, (std::vector<uint8_t>{42, 0, 0, 0}));
  EXPECT_EQ(file.Find(kGeneral, "Blob")->data, (std::vector<uint8_t>{1, 0xff}));
  EXPECT_EQ(file.Find(kGeneral, "")->text, "default");
  EXPECT_EQ(file.Find(kGeneral, "Gone"), nullptr);
  EXPECT_EQ(file.Find(kGeneral, "Missing"), nullptr);
  EXPECT_TRUE(file.HasKey("HKEY_CURRENT_USER\\Software\\Velmora\\Tandril\\General\\"));
}

TEST(RegistryFileTest, ReadsUtf16FilesAsTheEditorWritesThem) {
  std::string utf8 =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Velmora\\Tandril\\General]\r\n"
      "\"InstallDirectory\"=\"C:\\\\Program Files\\\\Tandril\\\\\"\r\n"
      "\"X\"=hex(2):" +
      std::string(kExpandBytes) + "\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : utf8) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  RegistryFile file;
  ASSERT_TRUE(RegistryFile::Parse(utf16, &file).ok());
  EXPECT_EQ(file.Find(kGeneral, "InstallDirectory")->text, "C:\\Program Files\\Tandril\\");
  EXPECT_EQ(file.Find(kGeneral, "X")->text, "C:\\A");
}

TEST(RegistryFileTest, DeletedKeysAndOldFormat) {
  RegistryFile file;
  ASSERT_TRUE(
      RegistryFile::Parse("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex(2):41,42,00\n"
                          "[HKEY_CURRENT_USER\\A\\B]\n\"w\"=\"1\"\n[-HKEY_CURRENT_USER\\A\\B]\n",
                          &file)
          .ok());
  EXPECT_EQ(file.Find("HKEY_CURRENT_USER\\A", "v")->text, "AB") << "REGEDIT4 strings are ANSI";
  EXPECT_FALSE(file.HasKey("HKEY_CURRENT_USER\\A\\B"));
}

TEST(RegistryFileTest, MalformedFilesFailWithTheLine) {
  const char* bad[] = {
      "",
      "not a registry file\n",
      "Windows Registry Editor Version 5.00\n\"v\"=\"outside a key\"\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"open\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:12\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex(2):4,00\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex(2):41,\\\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=qword:1\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\nv=1\n",
  };
  for (const char* text : bad) {
    RegistryFile file;
    Status s = RegistryFile::Parse(text, &file);
    EXPECT_TRUE(s.IsCorruption()) << text << " -> " << s.ToString();
  }
}

// The registry file stands in for the registry on POSIX only; the Windows
// backend is tested against the real registry in tests/windows.
#ifndef _WIN32
class ScopedRegistryVariable {
 public:
  explicit ScopedRegistryVariable(const std::string& value) {
    if (const char* old = std::getenv(kRegistryFileVariable)) old_ = old, had_ = true;
    ::setenv(kRegistryFileVariable, value.c_str(), 1);
  }
  ~ScopedRegistryVariable() {
    if (had_) {
      ::setenv(kRegistryFileVariable, old_.c_str(), 1);
    } else {
      ::unsetenv(kRegistryFileVariable);
    }
  }

 private:
  std::string old_;
  bool had_ = false;
};

TEST(RegistryTest, StringTypesAreTakenLiterallyOthersFail) {
  testing::TempDir dir;
  std::string reg = dir.Path("registry.reg");
  ASSERT_TRUE(WriteStringToFile(reg,
                                "Windows Registry Editor Version 5.00\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Velmora\\Tandril\\General]\r\n"
                                "\"Plain\"=\"/srv/tandril\"\r\n"
                                "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\r\n"
                                "\"Number\"=dword:00000001\r\n"
                                "\"Binary\"=hex:41,00\r\n")
                  .ok());
  ScopedRegistryVariable var(reg);
  std::unique_ptr<RegistryKey> key;
  ASSERT_TRUE(OpenCurrentUserKey("Software\\Velmora\\Tandril", &key).ok());
  std::string value = "stale";
  ASSERT_TRUE(key->ReadString("General", "Plain", &value).ok());
  EXPECT_EQ(value, "/srv/tandril");
  ASSERT_TRUE(key->ReadString("General", "Expand", &value).ok());
  EXPECT_EQ(value, "%HOME%") << "environment references are not expanded";
  ASSERT_TRUE(key->ReadString("General", "Missing", &value).ok());
  EXPECT_EQ(value, "");
  ASSERT_TRUE(key->ReadString("Other", "Plain", &value).ok());
  EXPECT_EQ(value, "") << "a missing subkey reads as empty";
  EXPECT_TRUE(key->ReadString("General", "Number", &value).IsInvalidArgument());
  EXPECT_TRUE(key->ReadString("General", "Binary", &value).IsInvalidArgument());
}

TEST(RegistryTest, MissingFileIsAnEmptyRegistryMalformedFileFails) {
  testing::TempDir dir;
  std::unique_ptr<RegistryKey> key;
  {
    ScopedRegistryVariable var(dir.Path("absent.reg"));
    ASSERT_TRUE(OpenCurrentUserKey("Software\\Velmora\\Tandril", &key).ok());
    std::string value = "stale";
    ASSERT_TRUE(key->ReadString("General", "DataDirectory", &value).ok());
    EXPECT_EQ(value, "");
  }
  ASSERT_TRUE(WriteStringToFile(dir.Path("bad.reg"), "garbage").ok());
  ScopedRegistryVariable var(dir.Path("bad.reg"));
  EXPECT_FALSE(OpenCurrentUserKey("Software\\Velmora\\Tandril", &key).ok());
}
#endif  // _WIN32

}  // namespace
}  // namespace dbup
