// The fuzzers are native Linux programs, and the component model's source (which the language
// fuzzer links for the string list the program splits language files with) includes
// <windows.h> for its two code-page conversions alone. Wine cannot help a native program, so
// this stands in for those two, each byte being the character of the same number (Latin-1);
// the string list never calls them (they serve wide-text properties).
#pragma once

#define CP_ACP 0u

inline int MultiByteToWideChar(unsigned, unsigned long, const char* in, int n, wchar_t* out, int room) {
  if (!out || room == 0) return n;
  for (int i = 0; i < n && i < room; ++i) out[i] = static_cast<wchar_t>(static_cast<unsigned char>(in[i]));
  return n < room ? n : room;
}

inline int WideCharToMultiByte(unsigned, unsigned long, const wchar_t* in, int n, char* out, int room,
                               const char*, int*) {
  if (!out || room == 0) return n;
  for (int i = 0; i < n && i < room; ++i) out[i] = in[i] < 0x100 ? static_cast<char>(in[i]) : '?';
  return n < room ? n : room;
}
