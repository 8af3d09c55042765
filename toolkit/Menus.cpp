#include "toolkit/Menus.h"

#include <algorithm>

#include "toolkit/SkinData.h"

QM_REGISTER_CLASS(TMenuItem, b) {
  b.Str("Caption", &TMenuItem::Caption, nullptr, TTypeKind::tkLString, "TCaption");
  b.Bool("Checked", &TMenuItem::Checked);
  b.Bool("Enabled", &TMenuItem::Enabled);
  b.Bool("Visible", &TMenuItem::Visible);
  b.Event("OnClick", "TNotifyEvent", &TMenuItem::OnClick);
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
  if (parent_) parent_->Remove(this);
  for (TMenuItem* child : items_) child->parent_ = nullptr;
}

TMenuItem* TMenuItem::Items(int index) const {
  return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)] : nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Add(const std::vector<TMenuItem*>& items) {
  for (TMenuItem* i : items) Add(i);
}

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item || item == this) return;
  if (item->parent_) item->parent_->Remove(item);
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
}

void TMenuItem::SetParentComponent(TComponent* parent) {
  if (auto* item = dynamic_cast<TMenuItem*>(parent)) item->Add(this);
  else if (auto* menu = dynamic_cast<TskPopupMenu*>(parent)) menu->Items()->Add(this);
  parentComponent_ = parent;
}

TComponent* TMenuItem::GetParentComponent() const { return parentComponent_; }

void TMenuItem::AppendTo(HMENU menu, UINT* nextId, UINT idStep, std::map<UINT, TMenuItem*>* ids) const {
  for (TMenuItem* item : items_) {
    if (!item->Visible) continue;
    if (item->Caption == "-") {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (item->Checked ? MF_CHECKED : 0) | (item->Enabled ? 0 : MF_GRAYED);
    if (item->Count() > 0) {
      HMENU sub = CreatePopupMenu();
      item->AppendTo(sub, nextId, idStep, ids);
      AppendMenuA(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->Caption.c_str());
    } else {
      UINT id = *nextId;
      *nextId += idStep;
      (*ids)[id] = item;
      AppendMenuA(menu, flags, id, item->Caption.c_str());
    }
  }
}

QM_REGISTER_CLASS(TskPopupMenu, b) {
  b.Object<TskSkinData>("SkinData", "TskSkinData", &TskPopupMenu::SkinData);
  b.Event("OnPopup", "TNotifyEvent", &TskPopupMenu::OnPopup);
}

TskPopupMenu::TskPopupMenu(TComponent* owner) : TComponent(owner), root_(std::make_unique<TMenuItem>(nullptr)) {}

TskPopupMenu::~TskPopupMenu() = default;

TMenuItem* TskPopupMenu::Popup(int x, int y, HWND owner) {
  OnPopup(this);
  HMENU menu = CreatePopupMenu();
  std::map<UINT, TMenuItem*> ids;
  UINT next = 1;
  root_->AppendTo(menu, &next, 1, &ids);
  if (owner) SetForegroundWindow(owner);
  UINT cmd = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, owner, nullptr);
  DestroyMenu(menu);
  auto it = ids.find(cmd);
  if (it == ids.end()) return nullptr;
  it->second->Click();
  return it->second;
}
