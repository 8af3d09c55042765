// The one thing the cleaner reads from a Chromium browser's "Local State" file (JSON): the
// profile folders listed as the keys of "profile" -> "info_cache". A small, bounded reader of
// its own: the file comes from outside, so depth, length and count are limited, and a damaged
// file reads as no list at all. Platform-free, so it is fuzzed natively.
#pragma once

#include <string>
#include <vector>

namespace localstate {

const size_t kMaxDepth = 64;
const size_t kMaxProfiles = 256;

// False when the text is no well-formed JSON object within the limits, or lists no profiles.
// The names are returned as the file spells them (UTF-8); the caller decides which it may use.
bool ProfileFolderNames(const std::string& json, std::vector<std::string>* names);

}  // namespace localstate
