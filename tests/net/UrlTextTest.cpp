// Address and query text: tables for the encodings, version packing, query joining and parsing,
// the downloader's address split, browser command lines and the installation query.
#include <gtest/gtest.h>

#include "tools/QVTools.h"
#include "tools/UrlText.h"

using namespace urltext;

TEST(UrlText, UrlEncodeKeepsTheSafeSetAndEncodesEverythingElse) {
  EXPECT_EQ(UrlEncode("AZaz09*@._-$!'()"), "AZaz09*@._-$!'()");
  EXPECT_EQ(UrlEncode("a b"), "a+b");
  EXPECT_EQ(UrlEncode("/"), "%2F");
  EXPECT_EQ(UrlEncode("\xE9"), "%E9");
  EXPECT_EQ(UrlEncode(std::string("\0\r\n", 3)), "%00%0D%0A");
  EXPECT_EQ(UrlEncode("a&b=c?d%e+f~g"), "a%26b%3Dc%3Fd%25e%2Bf%7Eg");
  EXPECT_EQ(UrlEncode("5_1_Service Pack 3"), "5_1_Service+Pack+3");
  EXPECT_EQ(UrlEncode(""), "");
}

TEST(UrlText, UrlDecodeReversesEncodingAndRefusesBrokenEscapes) {
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::string back;
  ASSERT_TRUE(UrlDecode(UrlEncode(all), &back));
  EXPECT_EQ(back, all);
  ASSERT_TRUE(UrlDecode("a+b%2f%%", &back));
  EXPECT_EQ(back, "a b/%");
  back = "unchanged";
  EXPECT_FALSE(UrlDecode("%", &back));
  EXPECT_FALSE(UrlDecode("%4", &back));
  EXPECT_FALSE(UrlDecode("%G1", &back));
  EXPECT_FALSE(UrlDecode("ab%1", &back));
  EXPECT_EQ(back, "unchanged");
}

TEST(UrlText, HexEncode) {
  EXPECT_EQ(HexEncode("unknow"), "756E6B6E6F77");
  EXPECT_EQ(HexEncode(std::string("\x00\xff\x10", 3)), "00FF10");
  EXPECT_EQ(QV_HexEncode(""), "");
}

TEST(UrlText, VersionToIntTable) {
  struct Case { const char* text; uint32_t want; } cases[] = {
      {"2.1.1.6", 0x02010106u},
      {"2.1.1.6 beta", 0x02010106u},
      {"2.1.1", 0},
      {"2.1.1.6.7", 0},
      {"", 0},
      {" 2.1.1.6", 0},  // the part before the first blank is empty
      {"1.2.x.4", 0x01020004u},
      {"256.256.257.511", 0x000001FFu},  // pieces kept to eight bits; 256<<24 drops out
      {"255.255.255.255", 0xFFFFFFFFu},
      {"1..2.3", 0x01000203u},
      {"-1.0.0.0", 0xFF000000u},
      {"99999999999.1.1.1", 0x00010101u},  // not a number: 0
      // Ten digits within 32 bits are a number: only the low eight bits of each piece count.
      {"1000000001.2.3.4", 0x01020304u},
      {"1.2.3.1000000260", 0x01020304u},
      {"2147483647.0.0.0", 0xFF000000u},
      {"2147483648.1.1.1", 0x00010101u},  // past 32 bits: not a number
      {"-2147483647.0.0.0", 0x01000000u},
      {"00000000001.0.0.0", 0x01000000u},  // leading zeros do not make a number too long
  };
  for (const Case& c : cases) EXPECT_EQ(VersionToInt(c.text), c.want) << c.text;
  EXPECT_EQ(QV_VersionToInt("255.0.0.1"), static_cast<int32_t>(0xFF000001u));
}

TEST(UrlText, AppendQueryJoinsWithQuestionMarkOrAmpersand) {
  EXPECT_EQ(AppendQuery("", "a=1"), "a=1");
  EXPECT_EQ(AppendQuery("http://h/p", "a=1"), "http://h/p?a=1");
  EXPECT_EQ(AppendQuery("http://h/p?x=2", "a=1"), "http://h/p?x=2&a=1");
  EXPECT_EQ(AppendQuery("http://h/p?x=2&", "a=1"), "http://h/p?x=2&a=1");
  EXPECT_EQ(AppendQuery("http://h/p?", "a=1"), "http://h/p?a=1");
  EXPECT_EQ(AppendQuery("http://h/p&", "a=1"), "http://h/p&?a=1");  // no "?": one is added
}

TEST(UrlText, ParseQueryTable) {
  auto parse = [](const std::string& address, bool decode) {
    TQueryPairs pairs;
    ParseQuery(address, &pairs, decode);
    return pairs.Lines();
  };
  using L = std::vector<std::string>;
  EXPECT_EQ(parse("wcme:PAGE=support", true), (L{"PAGE=support"}));
  EXPECT_EQ(parse("WCME:?page=a+b&x=%41", true), (L{"page=a b", "x=A"}));
  EXPECT_EQ(parse("http://h/p?a=1&b=2&a=3", false), (L{"a=3", "b=2"}));
  EXPECT_EQ(parse("http://h/p?a=1&A=", false), L{});  // an empty value removes the name
  EXPECT_EQ(parse("http://h/p?a=1&b=%zz&c=%2", true), (L{"a=1"}));  // undecodable: skipped
  EXPECT_EQ(parse("http://h/p?a=%zz", false), (L{"a=%zz"}));
  EXPECT_EQ(parse("http://h/p?", true), L{});
  EXPECT_EQ(parse("http://h/p?a=1&", true), (L{"a=1"}));
  EXPECT_EQ(parse("a=x=y&noequals", true), (L{"a=x=y"}));
  // Everything up to the first ":" after the "?" goes: "t=12:30" loses "t=12:".
  EXPECT_EQ(parse("http://h/p?t=12:30&u=1", true), (L{"u=1"}));

  std::vector<std::string> list = {"keep=1", "PAGE=old"};
  QV_ParseQuery("wcme:page=new&x=", &list, true);
  EXPECT_EQ(list, (L{"keep=1", "PAGE=new"}));
}

TEST(UrlText, DownloadAddressTable) {
  struct Case { const char* url; bool ok, secure; const char* server; int port; const char* object; } cases[] = {
      {"HTTP://Example.com/a/b?x=1", true, false, "Example.com", 80, "/a/b?x=1"},
      {"example.com/a", true, false, "example.com", 80, "/a"},
      {"http://example.com", true, false, "example.com", 80, "/"},
      {"http://h?x=1#frag", true, false, "h", 80, "/?x=1"},
      {"HTTPS://example.com/a", true, true, "example.com", 443, "/a"},
      {"https://127.0.0.1:8443/x", true, true, "127.0.0.1", 8443, "/x"},
      {"http://127.0.0.1:65535/x", true, false, "127.0.0.1", 65535, "/x"},
      {"http://h:0/", false}, {"http://h:65536/", false}, {"http://h:/", false}, {"http://h:8a/", false},
      {"http://trusted.example@evil.example/", false}, {"http://", false}, {"", false}, {"/only/path", false},
      {"ftp://h/x", false}, {"file:///C:/x", false}, {"wcme:PAGE=x", false}, {"http://\\\\host\\share/", false},
      {"http://h/a b", false}, {"http://h/a\r\nX-Evil: 1", false}, {"http://h/\x7f", false},
  };
  for (const Case& c : cases) {
    TDownloadAddress a;
    a.Server = "?";
    ASSERT_EQ(ParseDownloadAddress(c.url, &a), c.ok) << c.url;
    if (!c.ok) {
      EXPECT_EQ(a.Server, "?") << c.url;  // untouched
      continue;
    }
    EXPECT_EQ(a.Secure, c.secure) << c.url;
    EXPECT_EQ(a.Server, c.server) << c.url;
    EXPECT_EQ(a.Port, c.port) << c.url;
    EXPECT_EQ(a.Object, c.object) << c.url;
  }
}

TEST(UrlText, BrowserCommandLineCannotBeBrokenOutOf) {
  EXPECT_EQ(EscapeForCommandLine("http://h/a\" --evil \"b\r\nc\x7f\t"),
            "http://h/a%22 --evil %22b%0D%0Ac%7F%09");
  EXPECT_EQ(EscapeForCommandLine("http://h/%41?a=b c"), "http://h/%41?a=b c");
  EXPECT_EQ(BrowserCommandLine("\"C:\\b.exe\" -url \"%1\"", "http://h/"), "\"C:\\b.exe\" -url \"http://h/\"");
  // A bare "%1" gets quotes of its own, so that an address with blanks stays one argument.
  EXPECT_EQ(BrowserCommandLine("b.exe %1 %1", "http://h/a b"), "b.exe \"http://h/a b\" \"http://h/a b\"");
  EXPECT_EQ(BrowserCommandLine("\"C:\\P F\\b.exe\" -nohome %1", "u"), "\"C:\\P F\\b.exe\" -nohome \"u\"");
  EXPECT_EQ(BrowserCommandLine("b.exe \"-url=%1\" %1", "u"), "b.exe \"-url=u\" \"u\"");
  EXPECT_EQ(BrowserCommandLine("b.exe", "http://h/"), "b.exe  \"http://h/\"");
  // A "%1" inside the address is not replaced again.
  EXPECT_EQ(BrowserCommandLine("b.exe \"%1\"", "http://h/%1"), "b.exe \"http://h/%1\"");
  EXPECT_EQ(BrowserCommandLine("b.exe %1", "http://h/%1"), "b.exe \"http://h/%1\"");
}

TEST(UrlText, ReplaceAndVisibleText) {
  EXPECT_EQ(ReplaceAllNoCase("%ExePath%\\a\\%exepath%", "%exepath%", "C:\\P"), "C:\\P\\a\\C:\\P");
  EXPECT_EQ(ReplaceAllNoCase("%exepath%", "%exepath%", "%exepath%x"), "%exepath%x");
  EXPECT_FALSE(HasVisibleText(" \t\r\n"));
  EXPECT_TRUE(HasVisibleText(" a "));
}

TEST(UrlText, ChannelNameIsTheLastPathElement) {
  EXPECT_EQ(ChannelName("\"C:\\Downloads\\setup_partner7.exe\""), "setup_partner7.exe");
  EXPECT_EQ(ChannelName("D:setup.exe"), "setup.exe");
  EXPECT_EQ(ChannelName("a/b"), "a/b");
  EXPECT_EQ(ChannelName("unknow"), "unknow");
  EXPECT_EQ(ChannelName("C:\\dir\\"), "");
}

TEST(UrlText, InstallationQueryInItsFixedOrderAndEncodings) {
  TQueryInputs in;
  in.Second = 7;
  in.Millisecond = 123;
  in.Pid = "";
  in.MagicWord = "QM/1";
  in.Language = "Deutsch (Schweiz)";
  in.InstallAgeDays = 12;
  in.RunTimes = 345;
  in.AppVer = "2.1.1.6";
  in.SubVer = 9;
  in.WinMajor = 5;
  in.WinMinor = 1;
  in.ServicePack = "Service Pack 3";
  in.SystemLangId = 1033;
  in.Channel = "\"C:\\Setup Files\\qm_setup.exe\"";
  EXPECT_EQ(BuildQueryParams(in),
            "07123&PID=QM%2F1&LANG=Deutsch+(Schweiz)&DAY=12&RUNTIME=345&VER=02010106&SVER=9"
            "&WVER=5_1_Service+Pack+3&WLANG=1033&CHL=716D5F73657475702E657865");

  in.Pid = "P&1";
  in.Second = 59;
  in.Millisecond = 0;
  in.AppVer = "2.1.1";
  in.Language = "";
  in.Channel = "unknow";
  in.ServicePack = "";
  EXPECT_EQ(BuildQueryParams(in),
            "59000&PID=P%261&LANG=&DAY=12&RUNTIME=345&VER=00000000&SVER=9&WVER=5_1_&WLANG=1033"
            "&CHL=756E6B6E6F77");
}
