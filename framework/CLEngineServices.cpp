// The engine's message boxes and the framework windows it opens.
#include <windows.h>

#include "framework/CLEngine.h"
#include "framework/CLEngineRules.h"
#include "framework/CLSettings.h"
#include "platform/TraceChannel.h"
#include "toolkit/SkinMessage.h"

namespace {
TCLEngineWindows& Windows() {
  static TCLEngineWindows windows;
  return windows;
}

// Now as a date-time: days since 30 December 1899, the time of day as the fraction.
double NowAsDateTime() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return 0;
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  const double kTicksPerDay = 864000000000.0;  // 100-ns ticks
  const double kDaysFrom1601To1899 = 109205.0;
  return static_cast<double>(t.QuadPart) / kTicksPerDay - kDaysFrom1601To1899;
}
}  // namespace

void SetEngineWindows(const TCLEngineWindows& windows) { Windows() = windows; }
const TCLEngineWindows& EngineWindows() { return Windows(); }

TskSkinMessage* TCLEngine::GetSkinMessage() {
  if (!skinMessage_) {
    skinMessage_ = new TskSkinMessage(ownerForm_);
    FreeNotification(skinMessage_);
    skinMessage_->SetSkinData(SkinDataObject());
    skinMessage_->SetCtrlSkinData(SkinDataObject());
  }
  return skinMessage_;
}

int TCLEngine::ShowResMessage(const std::string& key, const std::vector<std::string>& args, int showAgainID,
                              int dlgType, unsigned buttons, int defaultResult, bool isLibRes) {
  std::string text = clengine::FillPlaceholders(GetResText(key, isLibRes), args);
  TskSkinMessage* box = GetSkinMessage();
  TCLSettings* settings = GetSettings();
  if (showAgainID != 0) {
    if (!settings->ReadShowAgain(showAgainID))
      return defaultResult != 0 ? defaultResult : settings->ReadShowAgainResult(showAgainID);
    box->ShowAgainFlag = true;
    box->ShowAgainFlagValue = true;
  } else {
    box->ShowAgainFlag = false;
  }
  // A kind outside the toolkit's range would index its tables: take it as custom.
  if (dlgType < mtWarning || dlgType > mtCustom) dlgType = mtCustom;
  int result = box->MessageDlg(text, GetApplicationName(), static_cast<TMsgDlgType>(dlgType), buttons, 0);
  if (showAgainID != 0 && !box->ShowAgainFlagValue) {
    settings->WriteShowAgain(showAgainID, false);
    settings->WriteShowAgainResult(showAgainID, result);
  }
  return result;
}

void TCLEngine::ShowAbout() {
  Trace(std::to_string(ParentHWND));
  if (Windows().ShowAbout) Windows().ShowAbout(ownerForm_, reinterpret_cast<HWND>(static_cast<uintptr_t>(ParentHWND)));
}

void TCLEngine::CheckUpdate(bool show) {
  if (Windows().CheckUpdate) Windows().CheckUpdate(ownerForm_, true, show);
}

void TCLEngine::AutoCheckUpdate() {
  TCLSettings* settings = GetSettings();
  if (!clengine::UpdateCheckDue(NowAsDateTime(), settings->ReadFloat("Update.LastDate"),
                                settings->ReadInteger("Update.Days")))
    return;
  if (Windows().CheckUpdate) Windows().CheckUpdate(ownerForm_, false, false);
}
