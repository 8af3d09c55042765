// The skin container, the description parser and the shipped skins.
#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <sstream>

#include "support/TestSupport.h"
#include "tests/toolkit/ToolkitTestUtil.h"
#include "framework/IniText.h"
#include "toolkit/Skin.h"
#include "toolkit/SkinData.h"
#include "toolkit/SkinDescription.h"
#include "toolkit/SkinFile.h"

using namespace qmtest;

namespace {

const char kDesc[] = "[Skin]\r\nName=Test\r\n[Colors]\r\nWindow=#102030\r\n[Pieces]\r\nCaptionTexture=cap.png\r\n";

std::string ValidFile() {
  std::string png = MakePng(4, 2, true, [](int x, int) { return 0x80FF0000u | x; });
  return PackOrDie({{"skin.ini", kDesc}, {"cap.png", png}});
}

void PutU32(std::string* s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*s)[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A file with a correct header around an arbitrary zlib stream.
std::string WithStream(const std::string& payload, uint32_t declared) {
  uLongf n = compressBound(static_cast<uLong>(payload.size()));
  std::string z(n, '\0');
  compress2(reinterpret_cast<Bytef*>(&z[0]), &n, reinterpret_cast<const Bytef*>(payload.data()),
            static_cast<uLong>(payload.size()), 9);
  z.resize(n);
  std::string f = std::string("QSKN") + std::string(12, '\0') + z;
  PutU32(&f, 4, 1);
  PutU32(&f, 8, declared);
  PutU32(&f, 12, static_cast<uint32_t>(z.size()));
  return f;
}

bool Refused(const std::string& file, std::string* error = nullptr) {
  std::vector<TSkinEntry> entries = {{"keep", "me"}};
  std::string e;
  bool ok = UnpackSkinFile(file, &entries, &e);
  if (error) *error = e;
  // A refused file leaves the caller's entries as they were.
  return !ok && entries.size() == 1 && entries[0].Name == "keep" && !e.empty();
}

}  // namespace

TEST(SkinFile, RoundTripKeepsEntriesInOrder) {
  std::string file = ValidFile();
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(file.substr(0, 4), "QSKN");
  std::vector<TSkinEntry> entries;
  std::string error;
  ASSERT_TRUE(UnpackSkinFile(file, &entries, &error)) << error;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Name, "skin.ini");
  EXPECT_EQ(entries[0].Data, kDesc);
  EXPECT_EQ(entries[1].Name, "cap.png");
  EXPECT_NE(FindSkinEntry(entries, "CAP.PNG"), nullptr);
  EXPECT_EQ(FindSkinEntry(entries, "other.png"), nullptr);

  std::string again;
  ASSERT_TRUE(PackSkinFile(entries, &again, &error));
  EXPECT_EQ(again, file);  // the writer is deterministic: the build output is reproducible
}

TEST(SkinFile, WriterRefusesBrokenEntryLists) {
  std::string file, error;
  EXPECT_FALSE(PackSkinFile({}, &file, &error));
  EXPECT_FALSE(PackSkinFile({{"cap.png", "x"}, {"skin.ini", kDesc}}, &file, &error));  // not first
  EXPECT_FALSE(PackSkinFile({{"skin.ini", kDesc}, {"a.png", "1"}, {"A.PNG", "2"}}, &file, &error));
  EXPECT_FALSE(PackSkinFile({{"skin.ini", kDesc}, {"../x.png", "1"}}, &file, &error));
  EXPECT_FALSE(PackSkinFile({{"skin.ini", kDesc}, {std::string(65, 'a'), "1"}}, &file, &error));
}

TEST(SkinFile, EveryTruncationIsRefused) {
  std::string file = ValidFile();
  for (size_t n = 0; n < file.size(); ++n) EXPECT_TRUE(Refused(file.substr(0, n))) << n;
  EXPECT_TRUE(Refused(file + "x"));  // bytes after the stream
}

TEST(SkinFile, HostileHeadersAndStreamsAreRefused) {
  std::string file = ValidFile();
  std::string error;

  std::string magic = file;
  magic[0] = 'X';
  EXPECT_TRUE(Refused(magic));
  std::string version = file;
  PutU32(&version, 4, 2);
  EXPECT_TRUE(Refused(version));

  // Not compressed: the payload stored raw after the header.
  std::string payload;
  {
    std::string tmp;
    std::vector<TSkinEntry> entries;
    UnpackSkinFile(file, &entries, &error);
    for (const TSkinEntry& e : entries) {
      payload += static_cast<char>(e.Name.size()) + std::string(1, '\0') + e.Name;
      uint32_t n = static_cast<uint32_t>(e.Data.size());
      for (int i = 0; i < 4; ++i) payload += static_cast<char>((n >> (8 * i)) & 0xFF);
      payload += e.Data;
    }
  }
  std::string raw = std::string("QSKN") + std::string(12, '\0') + payload;
  PutU32(&raw, 4, 1);
  PutU32(&raw, 8, static_cast<uint32_t>(payload.size()));
  PutU32(&raw, 12, static_cast<uint32_t>(payload.size()));
  EXPECT_TRUE(Refused(raw, &error));
  EXPECT_NE(error.find("uncompressed"), std::string::npos) << error;

  // Absurd declared sizes.
  std::string absurd = file;
  PutU32(&absurd, 8, 0xFFFFFFFFu);
  EXPECT_TRUE(Refused(absurd));
  std::string zero = file;
  PutU32(&zero, 8, 0);
  EXPECT_TRUE(Refused(zero));
  std::string packed = file;
  PutU32(&packed, 12, 0xFFFFFFF0u);
  EXPECT_TRUE(Refused(packed));

  // A decompression bomb: 16 MiB of zeros in a small stream, declared as 4 KiB. Refused
  // after 4 KiB of output, not after inflating it all.
  EXPECT_TRUE(Refused(WithStream(std::string(16u * 1024 * 1024, '\0'), 4096), &error));
  EXPECT_NE(error.find("larger"), std::string::npos) << error;
  // A stream shorter than declared.
  EXPECT_TRUE(Refused(WithStream(payload, static_cast<uint32_t>(payload.size()) + 10)));
  // A well-formed stream of a damaged entry table: a name length running past the end.
  EXPECT_TRUE(Refused(WithStream(std::string("\x08\x00skin.ini\xFF\xFF\x00\x00", 14), 14)));
  // Entries in the wrong order or doubled.
  EXPECT_TRUE(Refused(WithStream(std::string("\x05\x00x.png\x00\x00\x00\x00", 11), 11)));
}

TEST(SkinFile, FlippedBytesNeverCrash) {
  std::string file = ValidFile();
  int accepted = 0;
  for (size_t i = 0; i < file.size(); ++i) {
    std::string bad = file;
    bad[i] = static_cast<char>(bad[i] ^ 0x5A);
    std::string error;
    std::shared_ptr<const TskSkin> skin = TskSkin::FromFileBytes(bad, &error);
    if (skin) ++accepted;
    else EXPECT_FALSE(error.empty());
  }
  // zlib's checksum catches changes to the payload; only header bytes of no meaning remain.
  EXPECT_LT(accepted, 3);
}

TEST(SkinDescription, ValuesDefaultsAndRefusals) {
  TSkinDescription d;
  std::string error;
  ASSERT_TRUE(ParseSkinDescription(
      "[Skin]\nName= Pine \n[Colors]\nWindow=#0A0B0C\nNoSuchColour=#zzzzzz\n[Fonts]\nCaption=Verdana,16,bold\n"
      "[Metrics]\nCaptionHeight=30\n[Glow]\nStrength=0\n[Future]\nAnything=1\n",
      &d, &error))
      << error;
  EXPECT_EQ(d.Name, "Pine");
  EXPECT_EQ(d.Window, SkinRgb(0x0A, 0x0B, 0x0C));
  EXPECT_EQ(d.Text, TSkinDescription().Text);  // absent: default
  EXPECT_EQ(d.CaptionFont.Face, "Verdana");
  EXPECT_EQ(d.CaptionFont.Height, 16);
  EXPECT_TRUE(d.CaptionFont.Bold);
  EXPECT_EQ(d.CaptionHeight, 30);
  EXPECT_EQ(d.GlowStrength, 0);
  EXPECT_TRUE(SkinPieceNames(d).empty());

  const char* bad[] = {
      "[Colors]\nWindow=102030\n",       "[Colors]\nText=#12345\n",
      "[Colors]\nText=#12345G\n",        "[Metrics]\nCaptionHeight=4000\n",
      "[Metrics]\nBorderWidth=-1\n",     "[Metrics]\nBorderWidth=3px\n",
      "[Glow]\nStrength=256\n",          "[Fonts]\nControl=Tahoma\n",
      "[Fonts]\nControl=Tahoma,13,wide\n", "[Fonts]\nControl=Tahoma,99999999999\n",
      "[Pieces]\nCaptionTexture=..\\x.png\n",
  };
  for (const char* text : bad) {
    TSkinDescription keep;
    keep.Name = "kept";
    EXPECT_FALSE(ParseSkinDescription(text, &keep, &error)) << text;
    EXPECT_EQ(keep.Name, "kept");
    EXPECT_FALSE(error.empty());
  }
  EXPECT_FALSE(ParseSkinDescription("[Metrics]\nCaptionHeight=4000\n", &d, &error));
  EXPECT_NE(error.find("CaptionHeight"), std::string::npos);  // the tool reports the key
}

TEST(SkinFile, PiecesMustExistAndBePictures) {
  std::string error;
  EXPECT_TRUE(TskSkin::FromFileBytes(ValidFile(), &error)) << error;
  std::shared_ptr<const TskSkin> skin = TskSkin::FromFileBytes(ValidFile(), &error);
  ASSERT_TRUE(skin);
  ASSERT_NE(skin->Piece("cap.png"), nullptr);
  EXPECT_EQ(skin->Piece("cap.png")->Width(), 4);
  EXPECT_EQ(skin->Desc().Window, SkinRgb(0x10, 0x20, 0x30));

  EXPECT_FALSE(TskSkin::FromFileBytes(PackOrDie({{"skin.ini", kDesc}}), &error));
  EXPECT_NE(error.find("cap.png"), std::string::npos);
  EXPECT_FALSE(TskSkin::FromFileBytes(PackOrDie({{"skin.ini", kDesc}, {"cap.png", "not a png"}}), &error));
}

TEST(SkinFile, ShippedAndBuiltInSkinsLoad) {
  std::shared_ptr<const TskSkin> frost = TskSkin::BuiltIn();
  ASSERT_TRUE(frost);
  EXPECT_EQ(frost->Name(), "Frost");
  EXPECT_NE(frost->ControlFont(), nullptr);
  std::string error;
  EXPECT_TRUE(TskSkin::FromFileBytes(TskSkin::BuiltInBytes(), &error)) << error;

  ASSERT_FALSE(DistDir().empty());
  const char* files[][2] = {{"skins\\Graphite.skn", "Graphite"}, {"skins\\Meadow.nsf.skn", "Meadow"}};
  for (auto& f : files) {
    std::string bytes = ReadAll(DistDir() + f[0]);
    ASSERT_FALSE(bytes.empty()) << f[0];
    std::shared_ptr<const TskSkin> skin = TskSkin::FromFileBytes(bytes, &error);
    ASSERT_TRUE(skin) << f[0] << ": " << error;
    EXPECT_EQ(skin->Name(), f[1]);
    EXPECT_NE(skin->Desc().Window, frost->Desc().Window);
  }
}

// A tiled window texture is drawn once per copy on every background paint: one smaller than
// 16 x 16 is refused when the skin loads, and the skin in effect stays.
TEST(SkinFile, TinyWindowTexturesAreRefused) {
  const std::string desc = "[Skin]\r\nName=Tiled\r\n[Pieces]\r\nWindowTexture=tex.png\r\n";
  auto withTexture = [&](int w, int h) {
    return PackOrDie({{"skin.ini", desc}, {"tex.png", MakePng(w, h, true, [](int, int) { return 0x80FFFFFFu; })}});
  };
  std::string error;
  for (auto size : {std::pair<int, int>{1, 1}, {15, 16}, {16, 15}, {200, 1}}) {
    EXPECT_FALSE(TskSkin::FromFileBytes(withTexture(size.first, size.second), &error)) << size.first;
    EXPECT_NE(error.find("WindowTexture"), std::string::npos) << error;
  }
  std::shared_ptr<const TskSkin> ok = TskSkin::FromFileBytes(withTexture(16, 16), &error);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(ok->Piece("tex.png")->Width(), 16);

  TskSkinData data(nullptr);
  ASSERT_TRUE(data.LoadFromBytes(withTexture(32, 16))) << data.LastError();
  int changes = data.ChangeCount();
  EXPECT_FALSE(data.LoadFromBytes(withTexture(1, 1)));
  EXPECT_EQ(data.SkinName(), "Tiled");
  EXPECT_EQ(data.Skin()->Piece("tex.png")->Width(), 32);
  EXPECT_EQ(data.ChangeCount(), changes);
}

// --- The format's description in toolkit/SkinFile.h -----------------------------------------

extern const char kSkinFileHeaderHex[];

namespace {

std::string SkinFileHeaderText() {
  std::string text;
  for (const char* p = kSkinFileHeaderHex; p[0] && p[1]; p += 2)
    text += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
  return text;
}

// The rows "// | key | type | values | default | what it does |" of the table.
std::map<std::string, TSkinKeyInfo> DocumentedKeys() {
  std::map<std::string, TSkinKeyInfo> keys;
  std::istringstream in(SkinFileHeaderText());
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 4, "// |") != 0) continue;
    std::vector<std::string> cells;
    std::istringstream row(line.substr(4));
    std::string cell;
    while (std::getline(row, cell, '|')) cells.push_back(TrimA(cell));
    if (cells.size() < 5 || cells[0] == "key" || cells[0].compare(0, 1, "-") == 0) continue;
    EXPECT_FALSE(cells[4].empty()) << cells[0] << " says nothing of what it does";
    EXPECT_EQ(keys.count(cells[0]), 0u) << cells[0] << " twice";
    keys[cells[0]] = TSkinKeyInfo{cells[0], cells[1], cells[2], cells[3]};
  }
  return keys;
}

}  // namespace

TEST(SkinFormat, TheTableInSkinFileHIsTheParsersKeyList) {
  std::map<std::string, TSkinKeyInfo> documented = DocumentedKeys();
  std::vector<TSkinKeyInfo> parsed = SkinDescriptionKeys();
  ASSERT_GT(parsed.size(), 60u);
  EXPECT_EQ(documented.size(), parsed.size());
  for (const TSkinKeyInfo& k : parsed) {
    auto it = documented.find(k.Key);
    if (it == documented.end()) {
      ADD_FAILURE() << k.Key << " is read by the parser but not in the table";
      continue;
    }
    EXPECT_EQ(it->second.Type, k.Type) << k.Key;
    EXPECT_EQ(it->second.Range, k.Range) << k.Key;
    EXPECT_EQ(it->second.Default, k.Default) << k.Key;
  }
}

// What the table says of each key holds for the parser: the default is a value it takes,
// numbers take exactly their range, a piece names an entry to load.
TEST(SkinFormat, EachKeyTakesWhatTheTableSays) {
  for (const auto& [key, info] : DocumentedKeys()) {
    size_t dot = key.find('.');
    std::string section = key.substr(0, dot), name = key.substr(dot + 1);
    auto parse = [&](const std::string& value, TSkinDescription* out) {
      std::string error;
      return ParseSkinDescription("[" + section + "]\n" + name + "=" + value + "\n", out, &error);
    };
    TSkinDescription d;
    if (info.Type == "colour" || info.Type == "font" || info.Type == "number") {
      EXPECT_TRUE(parse(info.Default, &d)) << key << "=" << info.Default;
    }
    if (info.Type == "colour") {
      EXPECT_FALSE(parse("#GG0000", &d)) << key;
    }
    if (info.Type == "number") {
      size_t dots = info.Range.find("..");
      int low = std::stoi(info.Range.substr(0, dots)), high = std::stoi(info.Range.substr(dots + 2));
      EXPECT_TRUE(parse(std::to_string(low), &d)) << key;
      EXPECT_TRUE(parse(std::to_string(high), &d)) << key;
      EXPECT_FALSE(parse(std::to_string(low - 1), &d)) << key;
      EXPECT_FALSE(parse(std::to_string(high + 1), &d)) << key;
    }
    if (info.Type == "piece") {
      ASSERT_TRUE(parse("piece.png", &d)) << key;
      EXPECT_EQ(SkinPieceNames(d), std::vector<std::string>{"piece.png"}) << key;
    }
  }
}
