#include "framework/CLEngineWeb.h"

#include "framework/CLSettings.h"
#include "tools/QVTools.h"

urltext::TQueryInputs GatherQueryInputs() {
  urltext::TQueryInputs in;
  TCLSettings* settings = GetSettings();
  in.Channel = QV_ReadRegString(HKEY_LOCAL_MACHINE, "Software\\" + settings->ReadString("App.RegPath"), "CHL",
                                "unknow");
  in.Pid = settings->ReadString("App.PID");
  in.MagicWord = settings->ReadString("App.MagicWord");
  in.Language = settings->ReadString("Language");
  in.InstallAgeDays = settings->InstallAgeDays();
  in.RunTimes = settings->RunTimes();
  in.AppVer = settings->ReadString("App.Ver");
  in.SubVer = settings->ReadInteger("App.SubVer");
  // The basic record: the extended one is refused by Windows 95 and NT 4 before SP6.
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExA(&version)) {
    in.WinMajor = version.dwMajorVersion;
    in.WinMinor = version.dwMinorVersion;
    in.ServicePack = version.szCSDVersion;
  }
  in.SystemLangId = GetSystemDefaultLangID();
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  in.Second = now.wSecond;
  in.Millisecond = now.wMilliseconds;
  return in;
}

std::string WebQueryParams() { return urltext::BuildQueryParams(GatherQueryInputs()); }

std::string WebActionURL(const std::string& action, bool withParams) {
  TCLSettings* settings = GetSettings();
  std::string address = settings->ReadString("URL." + action);
  if (urltext::HasVisibleText(address)) {
    std::string folder = QV_GetAppPath();
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    address = urltext::ReplaceAllNoCase(address, "%exepath%", folder);
  } else {
    address = settings->ReadString("URL.Redirect");
  }
  if (withParams && urltext::StartsWithNoCase(address, "http"))
    address = urltext::AppendQuery(address, "ACTION=" + action + "&" + WebQueryParams());
  return address;
}

void WebOpenURL(HWND window, const std::string& url) { QV_OpenURL(window, url); }

bool HandleWcmeNavigation(const std::string& url, const std::function<void(const std::string&)>& openActionPage) {
  if (!urltext::StartsWithNoCase(url, "wcme:")) return false;
  urltext::TQueryPairs pairs;
  urltext::ParseQuery(url, &pairs, true);
  std::string page = pairs.Value("PAGE");
  if (!page.empty() && openActionPage) openActionPage(page);
  return true;
}
