#include "framework/CLEngineWeb.h"

#include "framework/CLEngine.h"
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
  // The action may come from a page's "wcme:" link: encoded, it cannot add parameters of its own
  // ("x&PID=..."), and the names the server knows read the same.
  if (withParams && urltext::StartsWithNoCase(address, "http"))
    address = urltext::AppendQuery(address, "ACTION=" + urltext::UrlEncode(action) + "&" + WebQueryParams());
  return address;
}

namespace {
TWebUrlOpener& UrlOpener() {
  static TWebUrlOpener opener;
  return opener;
}
}  // namespace

void WebOpenURL(HWND window, const std::string& url) {
  if (UrlOpener())
    UrlOpener()(window, url);
  else
    QV_OpenURL(window, url);
}

TWebUrlOpener SetWebUrlOpener(TWebUrlOpener opener) {
  TWebUrlOpener previous = std::move(UrlOpener());
  UrlOpener() = std::move(opener);
  return previous;
}

bool HandleWcmeNavigation(const std::string& url, const std::function<void(const std::string&)>& openActionPage) {
  if (!urltext::StartsWithNoCase(url, "wcme:")) return false;
  urltext::TQueryPairs pairs;
  urltext::ParseQuery(url, &pairs, true);
  std::string page = pairs.Value("PAGE");
  if (!page.empty() && openActionPage) openActionPage(page);
  return true;
}

// --- The engine's members -----------------------------------------------------------------------

namespace {

// The address a browser control hands over: text, a variant by reference, or anything the
// system can turn into text.
std::string VariantAddress(const VARIANT& v) {
  if (V_VT(&v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&v)) return VariantAddress(*V_VARIANTREF(&v));
  if (V_VT(&v) == VT_BSTR) return V_BSTR(&v) ? WideToAnsi(V_BSTR(&v)) : std::string();
  if (V_VT(&v) == (VT_BYREF | VT_BSTR) && V_BSTRREF(&v) && *V_BSTRREF(&v)) return WideToAnsi(*V_BSTRREF(&v));
  VARIANT text;
  VariantInit(&text);
  std::string result;
  if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&v), 0, VT_BSTR)) && V_BSTR(&text))
    result = WideToAnsi(V_BSTR(&text));
  VariantClear(&text);
  return result;
}

}  // namespace

std::string TCLEngine::GetQueryParams() const { return WebQueryParams(); }

std::string TCLEngine::GetActionURL(const std::string& action, bool withParams) const {
  return WebActionURL(action, withParams);
}

void TCLEngine::OpenURL(const std::string& url) const { WebOpenURL(Application()->Handle(), url); }

void TCLEngine::OpenActionPage(const std::string& action) const {
  // An action without an address opens nothing: the shell given an empty address would open a
  // folder window.
  const std::string address = GetActionURL(action, true);
  if (urltext::HasVisibleText(address)) OpenURL(address);
}

void TCLEngine::HandleBeforeNavigate(TObject* /*sender*/, IDispatch* /*pDisp*/, VARIANT& url, VARIANT& /*flags*/,
                                     VARIANT& /*targetFrameName*/, VARIANT& /*postData*/, VARIANT& /*headers*/,
                                     VARIANT_BOOL& cancel) {
  if (HandleWcmeNavigation(VariantAddress(url), [this](const std::string& page) { OpenActionPage(page); }))
    cancel = VARIANT_TRUE;
}
