// One text set of the language data: its lines as read or assigned, and the section index
// built from them on the first read after a change.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "components/Components.h"
#include "lang/LanFormat.h"

class TCLMultiLangLan : public TPersistent {
  QM_CLASS(TCLMultiLangLan, TPersistent)
 public:
  TCLMultiLangLan();
  ~TCLMultiLangLan() override;

  // The lines. Any change to them, also one made through this pointer, marks the index stale.
  TStrings* Data() const { return data_.get(); }
  void SetData(TStrings* lines);  // copies the lines
  bool IndexStale() const { return indexStale_; }

  // Replaces the lines with those of the file (up to its first zero byte) and indexes them at
  // once. A file that cannot be opened or read gives no lines.
  void ReadFile(const std::string& fileName);
  void ClearAll();

  // The decoded text of Section / "ComponentName.PropertyName" (or PropertyName alone when
  // ComponentName is empty). False, with `value` untouched, when absent.
  bool FindValue(const std::string& section, const std::string& componentName,
                 const std::string& propertyName, std::string& value) const;
  // Sets the section's name=value pairs in `target` as a string list sets values: a name it
  // holds is replaced in place, a new one appended, an empty value removes the name.
  void CopySection(const std::string& section, TStrings* target) const;
  // The section's pairs as CopySection would leave them in an empty list, straight from the
  // index (see TLanIndex::SectionEntries); empty values are listed too.
  std::vector<std::pair<std::string, std::string>> SectionEntries(const std::string& section) const;

  void Assign(const TPersistent* source) override;

 private:
  void EnsureIndex() const;

  std::unique_ptr<TStringList> data_;
  // The index is a cache of data_: rebuilt from const lookups.
  mutable TLanIndex index_;
  mutable bool indexStale_ = true;
};

// Upper-cases in the system's ANSI code page (names in language files compare that way).
void LanFoldAnsi(std::string& s);
