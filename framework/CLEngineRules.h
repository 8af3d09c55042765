// The engine's decisions that need no window or file: the application title, the automatic
// update due rule, message placeholders and the names the skin and language lists show.
#pragma once

#include <string>
#include <vector>

namespace clengine {

// The name, and when asked the version after two blanks ("Brindlewick  2.1.1.6").
std::string ComposeTitle(const std::string& name, bool includeVer, const std::string& version);

// Whether an automatic update check is due: the whole days between `now` and `last` (both
// days since 30 December 1899, the time of day as the fraction; the absolute difference,
// truncated) reach `days`. A stored date that is not a number counts as never checked.
bool UpdateCheckDue(double now, double last, int days);

// Fills "{1}", "{2}" ... with the arguments in one pass: a placeholder beyond the arguments
// stays as it is, and text that comes from an argument is never read as a placeholder.
std::string FillPlaceholders(const std::string& text, const std::vector<std::string>& args);

// The list name of a found file: the file name without its folder and without `extensions`
// extensions ("Blue.nsf.skn" with two gives "Blue", "Deutsch.lan" with one "Deutsch").
std::string NameFromFileName(const std::string& path, int extensions);

// Whether `fileName` really ends in `ext` (".skn"), letter case aside. The system's wildcard
// search also matches short names, so "x.sknx" would otherwise be taken for a skin.
bool HasExtension(const std::string& fileName, const std::string& ext);

// Whether a skin or language name (or the name of its file) is a plain file name: 1 to
// kMaxPlainName characters, a letter or digit first; no "\", "/", ":", "..", control character
// or wildcard; no final dot or blank; no device name (CON, NUL, AUX, PRN, COM1-9, LPT1-9, with
// any extension). Names come from the settings file, update answers, menus and folders, and
// each is joined to a folder to be opened: anything else could leave that folder.
constexpr size_t kMaxPlainName = 64;
bool IsPlainName(const std::string& name);

// The selectable names: `builtIn` first, then the names of `files` (full paths, sorted here by
// name without regard to case), skipping `builtIn` and any file whose name or derived name is
// not plain (IsPlainName).
std::vector<std::string> BuildNameList(const std::string& builtIn, std::vector<std::string> files, int extensions);

// ASCII letter case aside, as the lists and menus compare names.
bool SameText(const std::string& a, const std::string& b);

}  // namespace clengine
