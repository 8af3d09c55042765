// Menus: menu items owned by their parent item, and the pop-up menu the skinned window frame
// shows as its system menu. Items become real Win32 menus when shown, so screen readers and
// the keyboard work as with any menu; they are drawn from the skin while shown.
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
class TskSkin;

// Draws a Win32 pop-up menu from a skin while it is tracked. Every item becomes owner-drawn
// and keeps its caption as its text, so automation and screen readers read it and "&" still
// marks the mnemonic; check marks, disabled items and separators are drawn in the skin's menu
// colours, and the menu's background takes its MenuBack. The owner window's WM_MEASUREITEM and
// WM_DRAWITEM for these items are answered here: the window procedure of `owner` is replaced
// while this object lives (one TrackPopupMenu call) and put back when it goes.
class TskMenuSkinner {
 public:
  TskMenuSkinner(HMENU menu, HWND owner, std::shared_ptr<const TskSkin> skin);
  ~TskMenuSkinner();
  TskMenuSkinner(const TskMenuSkinner&) = delete;
  TskMenuSkinner& operator=(const TskMenuSkinner&) = delete;

 private:
  struct TItem {
    std::string Text;  // caption; a Tab starts the right-aligned shortcut
    bool Separator = false;
    bool Submenu = false;
  };
  static LRESULT CALLBACK OwnerProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  void Skin(HMENU menu, int depth);
  const TItem* Find(ULONG_PTR data) const;
  void Measure(MEASUREITEMSTRUCT* mis, const TItem& item) const;
  void Draw(const DRAWITEMSTRUCT* dis, const TItem& item) const;

  HMENU menu_;
  HWND owner_;
  std::shared_ptr<const TskSkin> skin_;
  std::vector<std::unique_ptr<TItem>> items_;
  HBRUSH back_ = nullptr;
  WNDPROC oldProc_ = nullptr;
};

class TskPopupMenu : public TComponent {
  QM_CLASS(TskPopupMenu, TComponent)
 public:
  explicit TskPopupMenu(TComponent* owner);
  ~TskPopupMenu() override;
  // The invisible root item whose children are the menu's items.
  TMenuItem* Items() const { return root_.get(); }
  TskSkinData* SkinData = nullptr;
  TNotifyEvent OnPopup;
  // Shows the menu, drawn from the skin of SkinData (else the process's first skin data), at
  // a screen point for `owner`, waits for the choice and runs the chosen item's click. Returns
  // the chosen item, or null.
  TMenuItem* Popup(int x, int y, HWND owner);

 private:
  std::unique_ptr<TMenuItem> root_;
};
