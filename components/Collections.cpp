#include "components/Collections.h"

#include <algorithm>

QM_REGISTER_CLASS(TCollectionItem, b) { (void)b; }
QM_REGISTER_CLASS(TCollection, b) { (void)b; }

// --- TCollectionItem ----------------------------------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* c) {
  if (c == collection_) return;
  if (collection_) collection_->RemoveItem(this);
  if (c) c->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  auto& items = collection_->items_;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::SetIndex(int index) {
  int cur = Index();
  if (cur < 0 || index == cur) return;
  auto& items = collection_->items_;
  if (index < 0 || index >= static_cast<int>(items.size())) throw EListError("List index out of bounds");
  items.erase(items.begin() + cur);
  items.insert(items.begin() + index, this);
  Changed(true);
}

std::string TCollectionItem::DisplayName() const { return ClassName(); }

TPersistent* TCollectionItem::GetOwner() const { return collection_; }

std::string TCollectionItem::GetNamePath() const {
  if (!collection_) return ClassName();
  return collection_->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

void TCollectionItem::Changed(bool allItems) {
  if (collection_ && collection_->updateCount_ == 0) collection_->Update(allItems ? nullptr : this);
}

// --- TCollection --------------------------------------------------------------------------------

TCollection::TCollection(const TClassInfo& itemClass, TPersistent* owner) : itemClass_(itemClass), owner_(owner) {}

TCollection::~TCollection() {
  OnUpdate = nullptr;
  ++updateCount_;
  while (!items_.empty()) delete items_.back();
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return items_[static_cast<size_t>(index)];
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = itemClass_.CreateItem(this);
  if (!item) throw EInvalidCast("Cannot create items of class " + itemClass_.Name());
  if (item->collection_ != this) item->SetCollection(this);
  if (!item->InheritsFrom(itemClass_)) {
    delete item;
    throw EInvalidCast("The item class of the collection is " + itemClass_.Name());
  }
  return item;
}

TCollectionItem* TCollection::Insert(int index) {
  TCollectionItem* item = Add();
  item->SetIndex(index);
  return item;
}

void TCollection::Delete(int index) { delete Items(index); }

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) delete items_.back();
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (TCollectionItem* it : items_)
    if (it->id_ == id) return it;
  return nullptr;
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) Changed();
}

std::string TCollection::GetNamePath() const {
  std::string owner = owner_ ? owner_->GetNamePath() : std::string();
  if (owner.empty()) return PropName.empty() ? ClassName() : PropName;
  return PropName.empty() ? owner : owner + "." + PropName;
}

void TCollection::Assign(const TPersistent* source) {
  const TCollection* other = dynamic_cast<const TCollection*>(source);
  if (!other) return TPersistent::Assign(source);
  if (other == this) return;
  BeginUpdate();
  Clear();
  for (TCollectionItem* it : other->items_) Add()->Assign(it);
  EndUpdate();
}

void TCollection::Update(TCollectionItem* item) {
  if (OnUpdate) OnUpdate(item);
}

void TCollection::Changed() {
  if (updateCount_ == 0) Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* item) {
  // The item is still inside its base constructor here, so its class is checked by Add.
  items_.push_back(item);
  item->collection_ = this;
  item->id_ = nextId_++;
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  item->collection_ = nullptr;
  Changed();
}
