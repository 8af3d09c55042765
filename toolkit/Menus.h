// Menus: menu items owned by their parent item, and the pop-up menu the skinned window frame
// shows as its system menu. Items become real Win32 menus when shown, so screen readers and
// the keyboard work as with any menu.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "components/Components.h"

class TMenuItem : public TComponent {
  QM_CLASS(TMenuItem, TComponent)
 public:
  explicit TMenuItem(TComponent* owner);
  // Leaves its parent; its children are left without a parent (they belong to their owner).
  ~TMenuItem() override;

  std::string Caption;  // "-" makes a separator
  bool Checked = false;
  bool Enabled = true;
  bool Visible = true;
  TNotifyEvent OnClick;
  void Click() { OnClick(this); }

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const;  // null when out of range
  int IndexOf(const TMenuItem* item) const;
  TMenuItem* Parent() const { return parent_; }
  void Add(TMenuItem* item);
  void Add(const std::vector<TMenuItem*>& items);
  void Insert(int index, TMenuItem* item);
  void Remove(TMenuItem* item);

  // Stored data nests items in their parent item or pop-up menu.
  void SetParentComponent(TComponent* parent) override;
  TComponent* GetParentComponent() const override;

  // Appends the visible children to `menu`, numbering commands from *nextId; `ids` maps the
  // numbers back to the items.
  void AppendTo(HMENU menu, UINT* nextId, UINT idStep, std::map<UINT, TMenuItem*>* ids) const;

 private:
  TMenuItem* parent_ = nullptr;
  TComponent* parentComponent_ = nullptr;
  std::vector<TMenuItem*> items_;
};

class TskSkinData;

class TskPopupMenu : public TComponent {
  QM_CLASS(TskPopupMenu, TComponent)
 public:
  explicit TskPopupMenu(TComponent* owner);
  ~TskPopupMenu() override;
  // The invisible root item whose children are the menu's items.
  TMenuItem* Items() const { return root_.get(); }
  TskSkinData* SkinData = nullptr;
  TNotifyEvent OnPopup;
  // Shows the menu at a screen point for `owner`, waits for the choice and runs the chosen
  // item's click. Returns the chosen item, or null.
  TMenuItem* Popup(int x, int y, HWND owner);

 private:
  std::unique_ptr<TMenuItem> root_;
};
