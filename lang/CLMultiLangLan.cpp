#include "lang/CLMultiLangLan.h"

#include <windows.h>

#include <new>

#include "platform/Handles.h"

QM_REGISTER_CLASS(TCLMultiLangLan, b) {
  b.Object<TStrings>("Data", "TStrings", &TCLMultiLangLan::Data, &TCLMultiLangLan::SetData);
}

namespace {

// Language files are a few kilobytes; anything beyond this is not one, and reading it whole
// would only risk the address space of a 32-bit process.
constexpr DWORD kMaxLanguageFileSize = 256u * 1024u * 1024u;

// The file's bytes up to the first zero byte; empty when it cannot be opened or read.
std::string ReadLanguageBytes(const std::string& fileName) {
  // Read sharing only: a file that someone is writing is not read half-written.
  TFileHandle file(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::string();
  DWORD high = 0;
  DWORD size = GetFileSize(file.get(), &high);
  if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || size > kMaxLanguageFileSize)
    return std::string();
  std::string bytes(size, '\0');
  DWORD got = 0;
  if (size > 0 && (!::ReadFile(file.get(), &bytes[0], size, &got, nullptr) || got != size)) return std::string();
  bytes.resize(LanTextFromBytes(bytes).size());
  return bytes;
}

}  // namespace

void LanFoldAnsi(std::string& s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      // CharUpperBuffA knows the code page, double-byte lead bytes included.
      if (!s.empty()) CharUpperBuffA(&s[0], static_cast<DWORD>(s.size()));
      return;
    }
  }
  LanFoldAscii(s);
}

TCLMultiLangLan::TCLMultiLangLan() : data_(std::make_unique<TStringList>()), index_(LanFoldAnsi) {
  data_->OnChange = [this](TObject*) { indexStale_ = true; };
}

TCLMultiLangLan::~TCLMultiLangLan() = default;

void TCLMultiLangLan::SetData(TStrings* lines) {
  if (lines)
    data_->Assign(lines);
  else
    data_->Clear();
  indexStale_ = true;
}

void TCLMultiLangLan::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TCLMultiLangLan*>(source)) {
    SetData(other->Data());
    return;
  }
  TPersistent::Assign(source);
}

void TCLMultiLangLan::ReadFile(const std::string& fileName) {
  try {
    data_->SetText(ReadLanguageBytes(fileName));  // the bytes go before the index is built
    indexStale_ = true;
    EnsureIndex();
  } catch (const std::bad_alloc&) {
    // A file too large for the memory left loads as an empty language: lookups fall back to
    // the default texts, as for a missing file.
    ClearAll();
  }
}

void TCLMultiLangLan::ClearAll() {
  index_.Clear();
  data_->Clear();
  indexStale_ = false;  // the empty index matches the empty lines
}

void TCLMultiLangLan::EnsureIndex() const {
  if (!indexStale_) return;
  index_.Clear();
  try {
    const int count = data_->Count();
    for (int i = 0; i < count; ++i) index_.AddLine(data_->Get(i));
  } catch (const std::bad_alloc&) {
    index_.Clear();  // an index that does not fit finds nothing rather than half of the file
  }
  indexStale_ = false;
}

bool TCLMultiLangLan::FindValue(const std::string& section, const std::string& componentName,
                                const std::string& propertyName, std::string& value) const {
  EnsureIndex();
  return index_.Find(section, componentName, propertyName, &value);
}

void TCLMultiLangLan::CopySection(const std::string& section, TStrings* target) const {
  if (!target) return;
  EnsureIndex();
  for (const auto& [name, value] : index_.SectionPairs(section)) target->SetValue(name, value);
}

std::vector<std::pair<std::string, std::string>> TCLMultiLangLan::SectionEntries(const std::string& section) const {
  EnsureIndex();
  return index_.SectionEntries(section);
}
