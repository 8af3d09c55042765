// The shipped executables describe themselves: the version Explorer's properties show is the
// one const.dat ships ("App.Ver"), the manifest keeps Vista and later from virtualising files
// or asking for elevation and asks for the common controls 6, and the program carries its icon.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "support/TestSupport.h"

namespace {

struct TModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { FreeLibrary(h); }
};
using TModule = TUniqueHandle<TModuleTraits>;

const char* const kExecutables[] = {"Quillmoor.exe", "TraceViewer.exe"};

std::string ShippedVersion() {
  char value[64] = {};
  GetPrivateProfileStringA("setting", "App.Ver", "", value, sizeof value,
                           (qmtest::DistDir() + "const.dat").c_str());
  return value;
}

// "2.1.1.6" as the four numbers of a version resource; missing parts are 0. False for text
// that is no such version.
bool VersionNumbers(const std::string& text, std::array<WORD, 4>* out) {
  *out = {0, 0, 0, 0};
  size_t part = 0;
  unsigned long value = 0;
  bool digits = false;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + static_cast<unsigned long>(text[i] - '0');
      if (value > 0xFFFF) return false;
      digits = true;
      continue;
    }
    if (!digits || part == 4 || (i < text.size() && text[i] != '.')) return false;
    (*out)[part++] = static_cast<WORD>(value);
    value = 0;
    digits = false;
  }
  return true;
}

struct TVersionInfo {
  VS_FIXEDFILEINFO fixed{};
  std::string fileVersion, productVersion;
};

std::string QueryString(const std::vector<char>& block, WORD language, WORD codePage, const char* name) {
  char path[96];
  std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", language, codePage, name);
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), path, &value, &length) || !value || length == 0) return std::string();
  const char* text = static_cast<const char*>(value);
  return std::string(text, strnlen(text, length));
}

// What the version resource holds, read the way Explorer reads it.
::testing::AssertionResult ReadVersionInfo(const std::string& file, TVersionInfo* info) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) return ::testing::AssertionFailure() << file << " has no version resource";
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data()))
    return ::testing::AssertionFailure() << "GetFileVersionInfoA failed on " << file;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
    return ::testing::AssertionFailure() << file << " has no fixed file information";
  info->fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
  if (info->fixed.dwSignature != 0xFEEF04BD)
    return ::testing::AssertionFailure() << file << ": bad fixed file information signature";
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4)
    return ::testing::AssertionFailure() << file << " names no language of its strings";
  const WORD* translation = static_cast<const WORD*>(value);
  info->fileVersion = QueryString(block, translation[0], translation[1], "FileVersion");
  info->productVersion = QueryString(block, translation[0], translation[1], "ProductVersion");
  return ::testing::AssertionSuccess();
}

TModule LoadAsData(const std::string& file) {
  return TModule(LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

std::string ResourceBytes(HMODULE module, const char* name, const char* type) {
  HRSRC found = FindResourceA(module, name, type);
  if (!found) return std::string();
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return std::string();
  return std::string(static_cast<const char*>(data), SizeofResource(module, found));
}

// The opening tags "<tag ...>" of every element of that name.
std::vector<std::string> OpeningTags(const std::string& xml, const std::string& tag) {
  std::vector<std::string> tags;
  const std::string open = "<" + tag;
  for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
    const char after = at + open.size() < xml.size() ? xml[at + open.size()] : '\0';
    if (after != ' ' && after != '\t' && after != '\r' && after != '\n' && after != '>' && after != '/') continue;
    size_t end = xml.find('>', at);
    if (end == std::string::npos) break;
    tags.push_back(xml.substr(at, end - at + 1));
  }
  return tags;
}

// The value of an attribute in an opening tag, in either kind of quotes; "?" when absent.
std::string Attribute(const std::string& openingTag, const std::string& name) {
  for (size_t at = openingTag.find(name + "="); at != std::string::npos;
       at = openingTag.find(name + "=", at + 1)) {
    const char before = at > 0 ? openingTag[at - 1] : ' ';
    if (before != ' ' && before != '\t' && before != '\r' && before != '\n') continue;
    size_t quote = at + name.size() + 1;
    if (quote >= openingTag.size() || (openingTag[quote] != '"' && openingTag[quote] != '\'')) continue;
    size_t close = openingTag.find(openingTag[quote], quote + 1);
    if (close == std::string::npos) break;
    return openingTag.substr(quote + 1, close - quote - 1);
  }
  return "?";
}

BOOL CALLBACK FirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  auto* first = reinterpret_cast<std::string*>(param);
  *first = IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : std::string(name);
  return FALSE;
}

class Release : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(qmtest::DistDir().empty()) << "QM_DIST_DIR is not set"; }
};

}  // namespace

TEST_F(Release, VersionResourcesMatchTheShippedVersion) {
  const std::string version = ShippedVersion();
  std::array<WORD, 4> n{};
  ASSERT_TRUE(VersionNumbers(version, &n)) << "App.Ver in const.dat: \"" << version << "\"";
  const DWORD ms = MAKELONG(n[1], n[0]), ls = MAKELONG(n[3], n[2]);
  for (const char* exe : kExecutables) {
    SCOPED_TRACE(exe);
    TVersionInfo info;
    ASSERT_TRUE(ReadVersionInfo(qmtest::DistDir() + exe, &info));
    EXPECT_EQ(info.fileVersion, version);
    EXPECT_EQ(info.productVersion, version);
    EXPECT_EQ(info.fixed.dwFileVersionMS, ms);
    EXPECT_EQ(info.fixed.dwFileVersionLS, ls);
    EXPECT_EQ(info.fixed.dwProductVersionMS, ms);
    EXPECT_EQ(info.fixed.dwProductVersionLS, ls);
    EXPECT_EQ(info.fixed.dwFileType, static_cast<DWORD>(VFT_APP));
  }
}

TEST_F(Release, ManifestRunsAsInvokerWithCommonControls6) {
  for (const char* exe : kExecutables) {
    SCOPED_TRACE(exe);
    TModule module = LoadAsData(qmtest::DistDir() + exe);
    ASSERT_TRUE(module) << "cannot open " << exe << " as data: " << GetLastError();
    const std::string manifest = ResourceBytes(module.get(), MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST resource 1";

    const auto levels = OpeningTags(manifest, "requestedExecutionLevel");
    ASSERT_EQ(levels.size(), 1u) << manifest;
    EXPECT_EQ(Attribute(levels[0], "level"), "asInvoker");

    bool commonControls6 = false;
    for (const std::string& identity : OpeningTags(manifest, "assemblyIdentity"))
      if (Attribute(identity, "name") == "Microsoft.Windows.Common-Controls")
        commonControls6 = Attribute(identity, "version") == "6.0.0.0" &&
                          Attribute(identity, "publicKeyToken") == "6595b64144ccf1df";
    EXPECT_TRUE(commonControls6) << "no dependency on the common controls 6.0:\n" << manifest;
    EXPECT_EQ(OpeningTags(manifest, "dependentAssembly").size(), 1u);
  }
}

// The window class loads "MAINICON", and Explorer shows a file's first icon group.
TEST_F(Release, ProgramCarriesItsIconFirst) {
  TModule module = LoadAsData(qmtest::DistDir() + "Quillmoor.exe");
  ASSERT_TRUE(module);
  const std::string group = ResourceBytes(module.get(), "MAINICON", RT_GROUP_ICON);
  // The group: reserved, type 1 (icons), count, then 14 bytes per image naming its RT_ICON.
  ASSERT_GE(group.size(), 6u) << "no icon group MAINICON";
  const auto word = [&group](size_t at) {
    return static_cast<WORD>(static_cast<unsigned char>(group[at]) | (static_cast<unsigned char>(group[at + 1]) << 8));
  };
  EXPECT_EQ(word(2), 1);
  const WORD count = word(4);
  ASSERT_GT(count, 0);
  ASSERT_GE(group.size(), 6u + 14u * count);
  for (WORD i = 0; i < count; ++i) {
    const WORD id = word(6 + 14 * i + 12);
    EXPECT_FALSE(ResourceBytes(module.get(), MAKEINTRESOURCEA(id), RT_ICON).empty()) << "icon image " << id;
  }
  std::string first;
  EnumResourceNamesA(module.get(), RT_GROUP_ICON, FirstName, reinterpret_cast<LONG_PTR>(&first));
  EXPECT_EQ(first, "MAINICON");
}
