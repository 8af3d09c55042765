// Collections: an owned, ordered list of items of one item class, each with published
// properties of its own (stored data writes them as < item ... end >). Included by
// Components.h.
#pragma once

#include "components/Components.h"

class TCollectionItem : public TPersistent {
  QM_CLASS(TCollectionItem, TPersistent)
 public:
  // Adds itself to `collection` (may be null).
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;  // leaves its collection

  TCollection* Collection() const { return collection_; }
  void SetCollection(TCollection* c);
  int Index() const;
  void SetIndex(int index);
  int ID() const { return id_; }
  virtual std::string DisplayName() const;
  TPersistent* GetOwner() const override;
  std::string GetNamePath() const override;  // "pngStore.PngImages[1]"

 protected:
  // Tells the collection that this item's content changed.
  void Changed(bool allItems = false);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

class TCollection : public TPersistent {
  QM_CLASS(TCollection, TPersistent)
 public:
  explicit TCollection(const TClassInfo& itemClass, TPersistent* owner = nullptr);
  ~TCollection() override;  // frees the items

  const TClassInfo& ItemClass() const { return itemClass_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Items(int index) const;
  template <typename T>
  T* ItemAs(int index) const { return As<T>(Items(index)); }
  // Creates an item of the item class at the end.
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  TCollectionItem* FindItemID(int id) const;

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  TPersistent* GetOwner() const override { return owner_; }
  void SetOwner(TPersistent* owner) { owner_ = owner; }
  // The published property name under which the owner keeps this collection, for name paths.
  std::string PropName;
  std::string GetNamePath() const override;
  void Assign(const TPersistent* source) override;

  // Fired after a change while no update is pending; `item` null means the whole collection.
  std::function<void(TCollectionItem* item)> OnUpdate;

 protected:
  virtual void Update(TCollectionItem* item);
  void Changed();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);

  const TClassInfo& itemClass_;
  TPersistent* owner_;
  std::vector<TCollectionItem*> items_;
  int nextId_ = 0;
  int updateCount_ = 0;
};
