// The cookie operations: Internet Explorer cookies are deleted as files of the user's cookie
// folder; Firefox cookies are removed from each profile's own cookie store, and only where that
// cannot be done (no profile found, or one in use) by the companion extension of the Firefox
// versions that can still run it. Every operation that names a site takes it in the form
// siterule::SiteOfText gives and refuses anything else. Plain functions without state; call them
// on the user-interface thread.
#pragma once

#include <string>
#include <vector>

#include "cookies/CookieResult.h"

// Erases every Internet Explorer cookie file (also in the protected-mode "Low" subfolder).
// Done when every cookie file found is gone (Removed counts them), else Failed.
TClearResult ClearIECookies();
// Erases the Internet Explorer cookie files holding a record of the site or one of its
// sub-domains, with their "Cookie:" entries of the WinInet cache index. A file's name never
// decides. Failed when a matching file stays, or when a cookie file could not be read to tell.
TClearResult ClearIECookiesOfSite(const std::string& site);

// Firefox: every profile's cookies, or the site's. Busy when a profile is in use (the other
// profiles are cleared all the same), HandedToExtension when the extension was started instead.
TClearResult ClearFirefoxCookies();
TClearResult ClearFirefoxCookiesOfSite(const std::string& site);

// The Firefox executable: the remembered "FireFoxPath" when its file exists, else the registry
// entries (the per-user Wrenfield build over the machine's Firefox, the user's entry over the
// machine's), remembered when found. May be empty, or name a file that has gone.
std::string FindFirefoxPath();
// Firefox counts as present when its executable is known or one of its profiles exists.
bool IsFirefoxAvailable();
// The version of the Firefox found, as its registry entry or executable names it; empty when
// unknown.
std::string FindFirefoxVersion();
// Whether the companion extension can run in the Firefox found: versions 1.5 to 3.6 only.
bool CanUseFirefoxExtension();

enum class TInstallResult { NotStarted, Installed, HandedToFirefox };
// Hands "qx.xpi" beside the executable to Firefox (a version that can run it). The install goes
// on inside Firefox, so Installed only when the extension is already unpacked in a profile.
TInstallResult InstallFirefoxExtension();

// The user's cookie folder without trailing backslash; empty when the shell has none.
std::string GetCookieFolder();
// Deletes the files (never folders) matching the wildcard pattern in one shell operation;
// true when every one of them is gone afterwards (also when none matched).
bool DeleteFilesByPattern(const std::string& pattern);

// The Firefox command-line parameters of the three operations.
std::string FirefoxClearParameters();
std::string FirefoxDomainParameters(const std::string& site);
std::string FirefoxInstallParameters(const std::string& appFolder);

// Deletes the listed files with one shell operation (none when the list is empty), then deletes
// one by one whatever the shell left, since it gives up at the first file it cannot delete.
// True when none of them exists afterwards.
bool DeleteFileList(const std::vector<std::string>& files);
