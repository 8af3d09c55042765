#include "toolkit/Menus.h"

#include <algorithm>

#include "toolkit/SkinData.h"
#include "toolkit/SkinPaint.h"

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
  UINT cmd = 0;
  {
    TskSkinData* data = SkinData ? SkinData : TskSkinData::Default();
    TskMenuSkinner skinned(menu, owner, data ? data->Skin() : TskSkin::BuiltIn());
    cmd = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, owner, nullptr);
  }
  DestroyMenu(menu);
  auto it = ids.find(cmd);
  if (it == ids.end()) return nullptr;
  it->second->Click();
  return it->second;
}

// --- TskMenuSkinner -------------------------------------------------------------------------------

namespace {

const char kSkinnerProp[] = "QmMenuSkinner";
// The procedure replaced, kept with the window: should another hook replace ours meanwhile,
// ours stays in its chain after this object is gone and still needs somewhere to pass on to.
const char kSkinnerOldProcProp[] = "QmMenuSkinnerOldProc";
const int kCheckArea = 24;    // left of the caption: the check mark
const int kArrowArea = 20;    // right of the shortcut: room for a submenu's arrow
const int kShortcutGap = 28;  // between caption and shortcut

// SetMenuInfo arrived with Windows 98 and 2000; looked up by name so that older systems run
// (with the system's menu background).
using TSetMenuInfo = BOOL(WINAPI*)(HMENU, LPCMENUINFO);
TSetMenuInfo SetMenuInfoFunction() {
  static const TSetMenuInfo fn =
      reinterpret_cast<TSetMenuInfo>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetMenuInfo")));
  return fn;
}

void SetMenuBackground(HMENU menu, HBRUSH brush) {
  if (TSetMenuInfo set = SetMenuInfoFunction()) {
    MENUINFO mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
    mi.hbrBack = brush;
    set(menu, &mi);
  }
}

}  // namespace

TskMenuSkinner::TskMenuSkinner(HMENU menu, HWND owner, std::shared_ptr<const TskSkin> skin)
    : menu_(menu), owner_(owner), skin_(std::move(skin)) {
  // Without an owner nobody would answer the measuring of owner-drawn items.
  if (!menu_ || !owner_ || !skin_ || GetPropA(owner_, kSkinnerProp)) return;
  Skin(menu_, 0);
  back_ = CreateSolidBrush(skin_->Desc().MenuBack);
  SetMenuBackground(menu_, back_);
  oldProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(owner_, GWLP_WNDPROC));
  SetPropA(owner_, kSkinnerOldProcProp, reinterpret_cast<HANDLE>(oldProc_));
  SetPropA(owner_, kSkinnerProp, this);
  SetWindowLongPtrA(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TskMenuSkinner::OwnerProc));
}

TskMenuSkinner::~TskMenuSkinner() {
  if (oldProc_) {
    // Only while ours is the window's procedure: a later replacement keeps calling ours,
    // which then passes everything on.
    RemovePropA(owner_, kSkinnerProp);
    if (GetWindowLongPtrA(owner_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&TskMenuSkinner::OwnerProc)) {
      SetWindowLongPtrA(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
      RemovePropA(owner_, kSkinnerOldProcProp);
    }
  }
  if (back_) {
    SetMenuBackground(menu_, nullptr);
    DeleteObject(back_);
  }
}

void TskMenuSkinner::Skin(HMENU menu, int depth) {
  if (depth > 8) return;
  for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
    auto item = std::make_unique<TItem>();
    MENUITEMINFOA mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_SUBMENU | MIIM_STRING;
    char text[512] = {};
    mi.dwTypeData = text;
    mi.cch = sizeof text - 1;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &mi)) continue;  // an older system
    item->Separator = (mi.fType & MFT_SEPARATOR) != 0;
    item->Text = text;
    item->Submenu = mi.hSubMenu != nullptr;
    if (mi.hSubMenu) Skin(mi.hSubMenu, depth + 1);
    // The caption stays the item's text: only the type gains owner-drawn and the data points
    // at our record.
    MENUITEMINFOA set = {};
    set.cbSize = sizeof set;
    set.fMask = MIIM_FTYPE | MIIM_DATA;
    set.fType = mi.fType | MFT_OWNERDRAW;
    set.dwItemData = reinterpret_cast<ULONG_PTR>(item.get());
    if (SetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &set)) items_.push_back(std::move(item));
  }
}

const TskMenuSkinner::TItem* TskMenuSkinner::Find(ULONG_PTR data) const {
  for (const auto& item : items_)
    if (reinterpret_cast<ULONG_PTR>(item.get()) == data) return item.get();
  return nullptr;
}

LRESULT CALLBACK TskMenuSkinner::OwnerProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<TskMenuSkinner*>(GetPropA(wnd, kSkinnerProp));
  if (!self) {
    auto old = reinterpret_cast<WNDPROC>(GetPropA(wnd, kSkinnerOldProcProp));
    return old ? CallWindowProcA(old, wnd, msg, wp, lp) : DefWindowProcA(wnd, msg, wp, lp);
  }
  if (msg == WM_MEASUREITEM) {
    auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
    if (mis && mis->CtlType == ODT_MENU)
      if (const TItem* item = self->Find(mis->itemData)) {
        self->Measure(mis, *item);
        return TRUE;
      }
  } else if (msg == WM_DRAWITEM) {
    auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if (dis && dis->CtlType == ODT_MENU)
      if (const TItem* item = self->Find(dis->itemData)) {
        self->Draw(dis, *item);
        return TRUE;
      }
  }
  return CallWindowProcA(self->oldProc_, wnd, msg, wp, lp);
}

void TskMenuSkinner::Measure(MEASUREITEMSTRUCT* mis, const TItem& item) const {
  if (item.Separator) {
    mis->itemWidth = 20;
    mis->itemHeight = 7;
    return;
  }
  size_t tab = item.Text.find('\t');
  HDC dc = GetDC(owner_);
  HFONT font = skin_->ControlFont();
  SIZE caption = SkTextSize(dc, item.Text.substr(0, tab), font, DT_SINGLELINE);
  SIZE shortcut = tab == std::string::npos ? SIZE{0, 0} : SkTextSize(dc, item.Text.substr(tab + 1), font, DT_SINGLELINE);
  int line = SkLineHeight(dc, font);
  ReleaseDC(owner_, dc);
  mis->itemWidth = static_cast<UINT>(kCheckArea + caption.cx + (shortcut.cx ? kShortcutGap + shortcut.cx : 0) + kArrowArea);
  mis->itemHeight = static_cast<UINT>(std::max(line + 8, 20));
}

void TskMenuSkinner::Draw(const DRAWITEMSTRUCT* dis, const TItem& item) const {
  const TSkinDescription& d = skin_->Desc();
  HDC dc = dis->hDC;
  RECT r = dis->rcItem;
  bool disabled = (dis->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
  bool selected = (dis->itemState & ODS_SELECTED) != 0 && !item.Separator;
  SkFillRect(dc, r, d.MenuBack);
  if (item.Separator) {
    RECT line = {r.left + 4, (r.top + r.bottom) / 2, r.right - 4, (r.top + r.bottom) / 2 + 1};
    SkFillRect(dc, line, SkBlend(d.MenuBack, d.MenuText, 70));
    return;
  }
  if (selected) {
    RECT hl = r;
    InflateRect(&hl, -2, 0);
    SkRoundGradient(dc, hl, 2, SkLighten(d.MenuHighlight, 40), d.MenuHighlight, CLR_INVALID);
  }
  COLORREF text = disabled ? d.DisabledText : selected ? d.MenuHighlightText : d.MenuText;
  if (dis->itemState & ODS_CHECKED) {
    int cy = (r.top + r.bottom) / 2;
    HPEN pen = CreatePen(PS_SOLID, 2, text);
    {
      TskSelect sp(dc, pen);
      POINT pts[3] = {{r.left + 7, cy}, {r.left + 10, cy + 3}, {r.left + 16, cy - 4}};
      Polyline(dc, pts, 3);
    }
    DeleteObject(pen);
  }
  UINT format = DT_SINGLELINE | DT_VCENTER | ((dis->itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
  size_t tab = item.Text.find('\t');
  RECT caption = {r.left + kCheckArea, r.top, r.right - kArrowArea, r.bottom};
  SkText(dc, item.Text.substr(0, tab), caption, skin_->ControlFont(), text, format | DT_LEFT);
  if (tab != std::string::npos)
    SkText(dc, item.Text.substr(tab + 1), caption, skin_->ControlFont(), text, format | DT_RIGHT | DT_NOPREFIX);
  if (item.Submenu) {
    // The arrow in the caption's colour; the system's own (a black glyph on white) would come
    // after this, so the item is taken out of the clip region for it.
    int cx = r.right - kArrowArea / 2, cy = (r.top + r.bottom) / 2;
    POINT pts[3] = {{cx - 2, cy - 4}, {cx + 2, cy}, {cx - 2, cy + 4}};
    HBRUSH brush = CreateSolidBrush(text);
    HPEN pen = CreatePen(PS_SOLID, 1, text);
    {
      TskSelect sb(dc, brush);
      TskSelect sp(dc, pen);
      Polygon(dc, pts, 3);
    }
    DeleteObject(pen);
    DeleteObject(brush);
    ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
  }
}
