#include "components/Strings.h"

#include <algorithm>
#include <cctype>

namespace {
int CompareText(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::toupper(static_cast<unsigned char>(a[i]));
    int cb = std::toupper(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
}  // namespace

QM_REGISTER_CLASS(TStrings, b) { (void)b; }
QM_REGISTER_CLASS(TStringList, b) { (void)b; }

// --- TStrings -----------------------------------------------------------------------------------

void TStrings::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TStrings::Put(int index, const std::string& s) {
  TObject* o = GetObject(index);
  Delete(index);
  InsertObject(index, s, o);
}

TObject* TStrings::GetObject(int index) const {
  CheckIndex(index, Count());
  return nullptr;
}

void TStrings::PutObject(int index, TObject*) { CheckIndex(index, Count()); }

void TStrings::InsertObject(int index, const std::string& s, TObject* o) {
  Insert(index, s);
  PutObject(index, o);
}

int TStrings::Add(const std::string& s) {
  int i = Count();
  Insert(i, s);
  return i;
}

int TStrings::AddObject(const std::string& s, TObject* o) {
  int i = Add(s);
  PutObject(i, o);
  return i;
}

void TStrings::AddStrings(const TStrings& other) {
  TUpdateGuard update(*this);
  for (int i = 0; i < other.Count(); ++i) AddObject(other.Get(i), other.GetObject(i));
  update.End();
}

void TStrings::Exchange(int a, int b) {
  CheckIndex(a, Count());
  CheckIndex(b, Count());
  TUpdateGuard update(*this);
  std::string sa = Get(a), sb = Get(b);
  TObject *oa = GetObject(a), *ob = GetObject(b);
  Put(a, sb);
  PutObject(a, ob);
  Put(b, sa);
  PutObject(b, oa);
  update.End();
}

void TStrings::Move(int from, int to) {
  if (from == to) return;
  CheckIndex(from, Count());
  CheckIndex(to, Count());
  TUpdateGuard update(*this);
  std::string s = Get(from);
  TObject* o = GetObject(from);
  // A list that owns its objects frees the object of a deleted line: the line gives it up
  // first, so that the object moves rather than dies.
  PutObject(from, nullptr);
  Delete(from);
  InsertObject(to, s, o);
  update.End();
}

std::string TStrings::Text() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) out += Get(i) + "\r\n";
  return out;
}

void TStrings::SetText(const std::string& text) {
  TUpdateGuard update(*this);
  Clear();
  size_t start = 0, i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      Add(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
    ++i;
  }
  if (start < text.size()) Add(text.substr(start));
  update.End();
}

std::vector<std::string> TStrings::Lines() const {
  std::vector<std::string> out;
  for (int i = 0; i < Count(); ++i) out.push_back(Get(i));
  return out;
}

void TStrings::SetLines(const std::vector<std::string>& lines) {
  TUpdateGuard update(*this);
  Clear();
  for (const std::string& s : lines) Add(s);
  update.End();
}

std::string TStrings::CommaText() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    if (i) out += ',';
    std::string s = Get(i);
    bool quote = s.empty() || s.find_first_of(" \",\t") != std::string::npos;
    if (!quote) {
      out += s;
      continue;
    }
    out += '"';
    for (char c : s) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

void TStrings::SetCommaText(const std::string& text) {
  TUpdateGuard update(*this);
  Clear();
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  };
  skipBlanks();
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      while (i < text.size() && text[i] != ',' && static_cast<unsigned char>(text[i]) > ' ') item += text[i++];
    }
    Add(item);
    skipBlanks();
    if (i < text.size() && text[i] == ',') {
      ++i;
      skipBlanks();
      if (i >= text.size()) Add(std::string());
    }
  }
  update.End();
}

std::string TStrings::Names(int index) const {
  std::string s = Get(index);
  size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStrings::ValueFromIndex(int index) const {
  std::string s = Get(index);
  size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

int TStrings::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    std::string s = Get(i);
    size_t eq = s.find('=');
    if (eq != std::string::npos && CompareStrings(s.substr(0, eq), name)) return i;
  }
  return -1;
}

std::string TStrings::Values(const std::string& name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValue(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  if (i < 0)
    Add(name + "=" + value);
  else
    Put(i, name + "=" + value);
}

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), s)) return i;
  return -1;
}

int TStrings::IndexOfObject(const TObject* o) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == o) return i;
  return -1;
}

bool TStrings::CompareStrings(const std::string& a, const std::string& b) const { return CompareText(a, b) == 0; }

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) SetUpdateState(false);
}

void TStrings::Assign(const TPersistent* source) {
  if (const TStrings* other = dynamic_cast<const TStrings*>(source)) {
    if (other == this) return;
    TUpdateGuard update(*this);
    Clear();
    AddStrings(*other);
    update.End();
    return;
  }
  TPersistent::Assign(source);
}

bool TStrings::Equals(const TStrings& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Get(i) != other.Get(i)) return false;
  return true;
}

// --- TStringList --------------------------------------------------------------------------------

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  if (OwnsObjects)
    for (Item& it : items_) delete it.o;
}

void TStringList::Changing() {
  if (UpdateCount() == 0) OnChanging(this);
}

void TStringList::Changed() {
  if (UpdateCount() == 0)
    OnChange(this);
  else
    changedWhileUpdating_ = true;
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) {
    changedWhileUpdating_ = false;
    OnChanging(this);
  } else if (changedWhileUpdating_) {
    changedWhileUpdating_ = false;
    OnChange(this);
  }
}

std::string TStringList::Get(int index) const {
  CheckIndex(index, Count());
  return items_[static_cast<size_t>(index)].s;
}

void TStringList::Put(int index, const std::string& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(index, Count());
  Changing();
  items_[static_cast<size_t>(index)].s = s;
  Changed();
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index, Count());
  return items_[static_cast<size_t>(index)].o;
}

void TStringList::PutObject(int index, TObject* o) {
  CheckIndex(index, Count());
  Changing();
  items_[static_cast<size_t>(index)].o = o;
  Changed();
}

void TStringList::InsertItem(int index, const std::string& s, TObject* o) {
  Changing();
  items_.insert(items_.begin() + index, Item{s, o});
  Changed();
}

void TStringList::Insert(int index, const std::string& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int index, const std::string& s, TObject* o) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  if (index < 0 || index > Count()) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
  InsertItem(index, s, o);
}

int TStringList::Add(const std::string& s) {
  if (!sorted_) {
    InsertItem(Count(), s, nullptr);
    return Count() - 1;
  }
  int at = 0;
  if (Find(s, &at)) {
    if (Duplicates == dupIgnore) return at;
    if (Duplicates == dupError) throw EStringListError("String list does not allow duplicates");
  }
  InsertItem(at, s, nullptr);
  return at;
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count());
  Changing();
  TObject* o = items_[static_cast<size_t>(index)].o;
  items_.erase(items_.begin() + index);
  if (OwnsObjects) delete o;
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  std::vector<Item> old;
  old.swap(items_);
  if (OwnsObjects)
    for (Item& it : old) delete it.o;
  Changed();
}

void TStringList::SetText(const std::string& text) { TStrings::SetText(text); }

void TStringList::Move(int from, int to) {
  if (from == to) return;
  CheckIndex(from, Count());
  CheckIndex(to, Count());
  // A sorted list has no place to move a line to; refusing before anything changed keeps it.
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  Changing();
  Item item = std::move(items_[static_cast<size_t>(from)]);
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, std::move(item));
  Changed();
}

bool TStringList::CompareStrings(const std::string& a, const std::string& b) const {
  return caseSensitive_ ? a == b : CompareText(a, b) == 0;
}

int TStringList::IndexOf(const std::string& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int at = 0;
  return Find(s, &at) ? at : -1;
}

bool TStringList::Find(const std::string& s, int* index) const {
  auto cmp = [this](const std::string& a, const std::string& b) {
    return caseSensitive_ ? a.compare(b) : CompareText(a, b);
  };
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = cmp(items_[static_cast<size_t>(mid)].s, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != dupAccept) lo = mid;
      }
    }
  }
  if (index) *index = lo;
  return found;
}

void TStringList::Sort() {
  CustomSort([](const TStringList& l, int a, int b) {
    const std::string& sa = l.items_[static_cast<size_t>(a)].s;
    const std::string& sb = l.items_[static_cast<size_t>(b)].s;
    return l.caseSensitive_ ? sa.compare(sb) : CompareText(sa, sb);
  });
}

void TStringList::CustomSort(const std::function<int(const TStringList&, int, int)>& compare) {
  if (Count() < 2) return;
  Changing();
  std::vector<int> order(items_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
  std::vector<Item> sortedItems;
  sortedItems.reserve(items_.size());
  for (int i : order) sortedItems.push_back(items_[static_cast<size_t>(i)]);
  items_.swap(sortedItems);
  Changed();
}

void TStringList::SetSorted(bool value) {
  if (value && !sorted_) Sort();
  sorted_ = value;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == caseSensitive_) return;
  caseSensitive_ = value;
  if (sorted_) Sort();
}
