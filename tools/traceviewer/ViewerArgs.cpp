#include "tools/traceviewer/ViewerArgs.h"

std::vector<std::string> SplitViewerCommandLine(const std::string& tail) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : tail) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

bool ParseViewerNumber(const std::string& text, uint32_t max, uint32_t* value) {
  size_t i = 0;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    i = 2;
  }
  if (i >= text.size()) return false;
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * base + d;
    if (v > max) return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

TViewerArgs ParseViewerArgs(const std::string& tail) {
  TViewerArgs args;
  std::vector<std::string> words = SplitViewerCommandLine(tail);
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w.size() != 2 || (w[0] != '-' && w[0] != '/')) continue;
    char sw = static_cast<char>(w[1] | 0x20);
    if (sw != 'a' && sw != 'o' && sw != 't' && sw != 'l' && sw != 'k') continue;
    if (i + 1 >= words.size()) break;  // a switch without its value is ignored
    const std::string& value = words[++i];
    uint32_t n = 0;
    switch (sw) {
      case 'a':
        if (ParseViewerNumber(value, 0xFFFFFFFFu, &n)) args.attachPid = n;
        break;
      case 'o':
        args.outputFile = value;
        break;
      case 't':
        args.filterGiven = true;
        args.filterTag = value.substr(0, 8);
        break;
      case 'l':
        if (ParseViewerNumber(value, 0x7FFFFFFF, &n)) {
          args.filterGiven = true;
          args.filterLevel = static_cast<int32_t>(n);
        }
        break;
      case 'k':
        if (ParseViewerNumber(value, 0xFFFF, &n)) {
          args.filterGiven = true;
          args.filterKinds = static_cast<uint16_t>(n);
        }
        break;
    }
  }
  return args;
}

std::string ViewerCommandTail(const std::string& commandLine) {
  size_t i = 0;
  while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
  if (i < commandLine.size() && commandLine[i] == '"') {
    size_t close = commandLine.find('"', i + 1);
    i = close == std::string::npos ? commandLine.size() : close + 1;
  } else {
    while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
  }
  return commandLine.substr(i);
}
