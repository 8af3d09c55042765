// The engine's web operations: request addresses of actions with the installation query, the
// default browser, and "wcme:" links of embedded browsers. Functions over the process-wide
// settings store, so that the engine's members of the same names stay one-liners.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tools/UrlText.h"

// Everything the installation query describes, read afresh: the clock, the settings, the
// channel value in the registry, the Windows version and the system language.
urltext::TQueryInputs GatherQueryInputs();
// The installation query ("sszzz&PID=...&CHL=...").
std::string WebQueryParams();
// The address of an action: "URL." + action ("%exepath%" replaced by the program folder), else
// "URL.Redirect"; with `withParams` and a web address, "ACTION=" + the form-encoded action and the
// query appended.
std::string WebActionURL(const std::string& action, bool withParams);
// Opens an address in the default browser; `window` owns anything the shell shows.
void WebOpenURL(HWND window, const std::string& url);
// Test seam: replaces what WebOpenURL does (null: the default browser again) and returns the
// opener in effect before. Which window the shell is handed shows nowhere under Wine, whose
// shell opens no window of its own for an address, so tests watch the call itself.
using TWebUrlOpener = std::function<void(HWND window, const std::string& url)>;
TWebUrlOpener SetWebUrlOpener(TWebUrlOpener opener);
// A "wcme:" address is a command, never a page: true when `url` is one (the navigation is then
// to be cancelled); its PAGE value, when not empty, goes to `openActionPage`.
bool HandleWcmeNavigation(const std::string& url, const std::function<void(const std::string&)>& openActionPage);
