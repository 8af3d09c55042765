// Firefox's own cookie stores: "cookies.sqlite" (Firefox 3.0 and later, table moz_cookies) and
// "cookies.txt" (Netscape format, Firefox 2 and earlier) in each profile that "profiles.ini"
// under the user's application-data folder lists.
#pragma once

#include <string>
#include <vector>

#include "cookies/CookieResult.h"

// "Mozilla\Firefox" under the user's roaming application-data folder; empty when the shell has
// none.
std::string FirefoxDataFolder();
// The listed profile folders that exist.
std::vector<std::string> FindFirefoxProfiles();
// A running Firefox holds its profile's "parent.lock" open without sharing.
bool IsFirefoxProfileInUse(const std::string& profile);
// Removes all cookies of the profile (`site` empty) or the site's. Busy, with nothing changed,
// while Firefox runs on the profile.
TClearResult ClearFirefoxProfile(const std::string& profile, const std::string& site);
// Whether the companion extension is unpacked in the profile.
bool IsExtensionInProfile(const std::string& profile);
