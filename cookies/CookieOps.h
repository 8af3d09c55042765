// The cookie operations: Internet Explorer cookies are deleted as files of the user's cookie
// folder; Firefox cookies are removed by the companion extension's chrome page, opened by
// starting Firefox. Plain functions without state; call them on the user-interface thread.
#pragma once

#include <string>
#include <vector>

// What a per-site operation did.
enum class TCookieResult {
  Done,     // every matching cookie file is gone / Firefox was started
  Failed,   // some matching file is left / Firefox was not found or did not start
  Refused,  // the domain text is unsafe or has no site word: nothing was touched
};

// Erases every Internet Explorer cookie file (also in the protected-mode "Low" subfolder).
// True when every cookie file found is gone.
bool ClearIECookies();
// Erases the Internet Explorer cookies of a typed domain: the files whose long name holds its
// site word (see cookierules::SiteWordOf) and the files holding a record of the domain or one of
// its sub-domains, with their "Cookie:" entries of the WinInet cache index. A domain text that
// fails cookierules::IsSafeDomainText is refused. A bare site word ("example") is accepted too
// and then only matches by file name and by host "example".
// Failed when a matching file stays, or when a cookie file could not be read to tell.
TCookieResult ClearIECookiesOfSite(const std::string& domain);
// Starts Firefox with the extension's page that removes all cookies; true when it started.
bool ClearFirefoxCookies();
// Starts Firefox with the extension's page for the domain exactly as typed.
TCookieResult ClearFirefoxCookiesOfDomain(const std::string& domain);
// The Firefox executable: the remembered "FireFoxPath" when its file exists, else the registry
// entries (the per-user Wrenfield build before the machine's Firefox), remembered when found.
// May be empty, or name a file that has gone (the remembered text when the registry has none).
std::string FindFirefoxPath();
bool IsFirefoxAvailable();
// Hands "qx.xpi" beside the executable to Firefox; true when Firefox was started.
bool InstallFirefoxExtension();
// The user's cookie folder without trailing backslash; empty when the shell has none.
std::string GetCookieFolder();
// Deletes the files (never folders) matching the wildcard pattern in one shell operation;
// true when every one of them is gone afterwards (also when none matched).
bool DeleteFilesByPattern(const std::string& pattern);

// The Firefox command-line parameters of the three operations.
std::string FirefoxClearParameters();
std::string FirefoxDomainParameters(const std::string& domain);
std::string FirefoxInstallParameters(const std::string& appFolder);

// Deletes the listed files with one shell operation (none when the list is empty), then deletes
// one by one whatever the shell left, since it gives up at the first file it cannot delete.
// True when none of them exists afterwards.
bool DeleteFileList(const std::vector<std::string>& files);
