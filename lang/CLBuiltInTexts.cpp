#include "lang/CLBuiltInTexts.h"

namespace {

using TLines = std::vector<std::string>;

// Application messages of the main window. The four messages that used to hold percent-escaped
// Chinese bytes (which no lookup decodes, so users saw "%C7%EB...") carry English sentences;
// the Chinese sentences live on, as real GBK text, in "Chinese.lan".
const TLines& AppRes() {
  static const TLines lines = {
      "[AppRes]",
      "MSGBOX_BrowserCleared={1}: {2} cookies cleared",
      "MSGBOX_BrowserClearFailed={1}: some cookies could not be erased",
      "MSGBOX_BrowserInUse={1}: open, its cookies were left as they are. Close {1} first.",
      "MSGBOX_BrowserNothingToClear={1}: no cookies to clear",
      "MSGBOX_ChromeCookieCleareConfirm=Are you sure you want to erase all cookies for Chrome, "
      "Edge and the other Chromium browsers? This action can not be undone.",
      "MSGBOX_ChromeCookieCleared=All Chrome and Edge cookies cleared:<BR>{1}",
      "MSGBOX_ChromeCookieClearFailed=Some Chrome or Edge cookies could not be erased.<BR>{1}",
      "MSGBOX_ChromeInUse=A browser is open, so its cookies were left as they are. Close it "
      "first, then try again.<BR>{1}",
      "MSGBOX_CLEARALLCLEARED=All have been cleared",
      "MSGBOX_Cleared=Cleared successfully",
      "MSGBOX_CloseFFAndClear=Please close Firefox first and then click Clear",
      "MSGBOX_DomainCleared=The cookies of website {1} have been cleared",
      "MSGBOX_DomainHandedToFirefox=The cookies of website {1} were erased; Firefox was asked to "
      "erase its own and finishes this itself.",
      "MSGBOX_DomainNoCookies=No cookies of website {1} were found",
      "MSGBOX_EnterDomain=Please enter a website address such as example.com",
      "MSGBOX_ExitNotify=Are you sure you want to exit?",
      "MSGBOX_FFCookieCleareConfirm=Are you sure you want to erase all cookies for FireFox? This "
      "action can not be undone.",
      "MSGBOX_FFCookieCleared=All Firefox cookies cleared",
      "MSGBOX_FFCookieClearFailed=Some Firefox cookies could not be erased. Close Firefox and try "
      "again.",
      "MSGBOX_FFHandedToExtension=Firefox was asked to erase its cookies. Firefox finishes this "
      "itself.",
      "MSGBOX_FFINSTALLED=Firefox Extension has been installed successfully",
      "MSGBOX_FFInstallHanded=The extension was handed to Firefox. Finish its installation in "
      "Firefox.",
      "MSGBOX_FFInUse=Firefox is open, so its cookies were left as they are. Close Firefox first, "
      "then try again.",
      "MSGBOX_FireFoxIsNotInstalled=Firefox is not installed",
      "MSGBOX_IECookieCleareConfirm=Are you sure you want to erase all cookies for Internet "
      "Explorer? This action can not be undone.",
      "MSGBOX_IECookieCleared=All Internet Explorer cookies cleared",
      "MSGBOX_IECookieClearFailed=Some Internet Explorer cookies could not be erased. Close "
      "Internet Explorer and try again.",
      "MSGBOX_NoItemChoosed=There is no option selected to clear",
      "",
  };
  return lines;
}

// Texts of the framework's update and about windows. The update messages used to be their own
// keys (or nothing), which is what the update window then showed.
const TLines& LibRes() {
  static const TLines lines = {
      "[LibRes]",
      "btnCancel.Caption=&Cancel",
      "btnOk.Caption=&Ok",
      "cbAutoCheckUpdate.Caption=&Automatic Check Update",
      "frmCLAboutForm.Caption=About {AppName}",
      "frmCLUpdateForm.Caption=Update {AppName}",
      "lblSupport.Caption=Support",
      "TfrmCLAboutForm.CopyRightLine1={AppName}",
      "TfrmCLAboutForm.CopyRightLine2=Version : {1}",
      "TfrmCLAboutForm.CopyRightLine3={1} is tranlated by {2}",
      "Update.Connecting=Checking for updates...",
      "Update.LastVersionAlready=You already have the latest version.",
      "Update.NetError=The update server could not be reached. Check your Internet connection and "
      "try again.",
      "",
  };
  return lines;
}

const TLines& MainWindow() {
  static const TLines lines = {
      "[TfrmMain]",
      "btnClearChrome.Caption=Clear &Chrome and Edge Cookies",
      "btnClearFF.Caption=Clear &Firefox Cookies",
      "btnClearIE.Caption=Clear &Internet Explorer Cookies",
      "btnDelete.Caption=&Delete Cookies",
      "btnInstallFF.Caption=Install Firefox Extension",
      "frmMain.Caption=Brindlewick",
      "lblDomain.Lines=Enter website address such as example.com. You don't need to type the www "
      "or other perfix before the main site address. The program will automaticlly delete all "
      "cookies for the domain included any veriation of it (such as forum.example.com).)<BR>",
      "lblWebAddr.Caption=Website Address:",
      "pngStore.PngImages[0].Name=PngImage0",
      "pngStore.PngImages[1].Name=PngImage1",
      "pngStore.PngImages[2].Name=PngImage2",
      "pngStore.PngImages[3].Name=PngImage3",
      "pnlAll.Caption=Clear All Cookies",
      "pnlWeb.Caption=Delete Website Cookies",
      "mniUpdate.Caption=&Update...",
      "mniAbout.Caption=&About...",
      "",
  };
  return lines;
}

TLines Join(std::initializer_list<const TLines*> parts) {
  TLines all;
  for (const TLines* p : parts) all.insert(all.end(), p->begin(), p->end());
  return all;
}

}  // namespace

const std::vector<std::string>& BuiltInCurrentTexts() {
  static const TLines lines = Join({&LibRes(), &AppRes(), &MainWindow()});
  return lines;
}

const std::vector<std::string>& BuiltInDefaultTexts() {
  static const TLines lines = Join({&AppRes(), &LibRes(), &MainWindow()});
  return lines;
}
