// String lists: lines with an optional object each, the whole text, name=value access and
// change notification that BeginUpdate/EndUpdate suspend. Included by Components.h.
#pragma once

#include "components/Components.h"

class TStrings : public TPersistent {
  QM_CLASS(TStrings, TPersistent)
 public:
  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual void Put(int index, const std::string& s);
  virtual TObject* GetObject(int index) const;
  virtual void PutObject(int index, TObject* o);
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void InsertObject(int index, const std::string& s, TObject* o);
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual int Add(const std::string& s);
  int AddObject(const std::string& s, TObject* o);
  void AddStrings(const TStrings& other);
  void Exchange(int a, int b);
  // Moves the line with its object; the object is neither freed nor copied.
  virtual void Move(int from, int to);
  std::string operator[](int index) const { return Get(index); }

  // Lines joined, each followed by CR LF. SetText splits at CR LF, a lone CR or a lone LF;
  // a final line break adds no empty line.
  virtual std::string Text() const;
  virtual void SetText(const std::string& text);
  std::vector<std::string> Lines() const;
  void SetLines(const std::vector<std::string>& lines);
  // Quoted, comma-separated form: a, "b c", "d""e".
  std::string CommaText() const;
  void SetCommaText(const std::string& text);

  // name=value lines: the name is the text before the first "=" (case-insensitive match).
  std::string Names(int index) const;
  std::string ValueFromIndex(int index) const;
  int IndexOfName(const std::string& name) const;
  std::string Values(const std::string& name) const;
  // Sets the value of the first line with that name, appends one when absent, deletes the line
  // when the value is empty.
  void SetValue(const std::string& name, const std::string& value);

  // Case-insensitive unless a list says otherwise.
  virtual int IndexOf(const std::string& s) const;
  int IndexOfObject(const TObject* o) const;

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }
  // Holds an update until End, or until it goes out of scope, so that an error in the middle
  // (out of memory, a refused line) never leaves the notifications held back for good. Only
  // End lets an error of the change notification through: on the way out of an error, a
  // second one cannot travel.
  class TUpdateGuard {
   public:
    explicit TUpdateGuard(TStrings& strings) : strings_(strings) { strings_.BeginUpdate(); }
    ~TUpdateGuard() {
      if (!active_) return;
      active_ = false;
      try {
        strings_.EndUpdate();
      } catch (...) {
      }
    }
    void End() {
      if (!active_) return;
      active_ = false;
      strings_.EndUpdate();
    }
    TUpdateGuard(const TUpdateGuard&) = delete;
    TUpdateGuard& operator=(const TUpdateGuard&) = delete;

   private:
    TStrings& strings_;
    bool active_ = true;
  };

  void Assign(const TPersistent* source) override;
  bool Equals(const TStrings& other) const;

 protected:
  // Called around every change while no update is pending.
  virtual void SetUpdateState(bool /*updating*/) {}
  virtual bool CompareStrings(const std::string& a, const std::string& b) const;
  void CheckIndex(int index, int limit) const;

 private:
  int updateCount_ = 0;
};

class TStringList : public TStrings {
  QM_CLASS(TStringList, TStrings)
 public:
  TStringList() = default;
  explicit TStringList(const std::vector<std::string>& lines) { SetLines(lines); }
  ~TStringList() override;  // frees the line objects when OwnsObjects

  int Count() const override { return static_cast<int>(items_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* o) override;
  void Insert(int index, const std::string& s) override;
  void InsertObject(int index, const std::string& s, TObject* o) override;
  void Delete(int index) override;
  void Clear() override;
  int Add(const std::string& s) override;
  int IndexOf(const std::string& s) const override;
  void SetText(const std::string& text) override;
  void Move(int from, int to) override;

  // A sorted list keeps its lines in order (Add finds the place, Insert and Put raise).
  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool value);
  // dupIgnore: Add of an existing line returns its index; dupError raises; dupAccept adds.
  enum TDuplicates { dupIgnore, dupAccept, dupError };
  TDuplicates Duplicates = dupIgnore;
  bool OwnsObjects = false;
  // Binary search in a sorted list: true and the index when found, else the insertion index.
  bool Find(const std::string& s, int* index) const;
  void Sort();
  void CustomSort(const std::function<int(const TStringList&, int, int)>& compare);

  // Fire around each change while no update is pending (BeginUpdate holds them back; EndUpdate
  // fires OnChange once when something changed meanwhile).
  TNotifyEvent OnChanging;
  TNotifyEvent OnChange;

 protected:
  void SetUpdateState(bool updating) override;
  bool CompareStrings(const std::string& a, const std::string& b) const override;
  void Changing();
  void Changed();

 private:
  struct Item {
    std::string s;
    TObject* o = nullptr;
  };
  void InsertItem(int index, const std::string& s, TObject* o);
  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  bool changedWhileUpdating_ = false;
};
