#include "tools/traceviewer/ViewerWindow.h"

#include <commctrl.h>

#include "tools/traceviewer/ViewerArgs.h"

namespace {

const UINT WM_RECORDS = WM_APP + 1;

std::string Printable(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return out;
}

std::string WindowText(HWND hwnd) {
  char buffer[64] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

}  // namespace

bool TViewerWindow::Create(const std::string& title, int showCmd) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &TViewerWindow::WndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);
  hwnd_ = CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                          CW_USEDEFAULT, CW_USEDEFAULT, 900, 500, nullptr, nullptr,
                          wc.hInstance, this);
  if (!hwnd_) return false;
  ShowWindow(hwnd_, showCmd);
  UpdateWindow(hwnd_);
  return true;
}

LRESULT CALLBACK TViewerWindow::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<TViewerWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TViewerWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
  try {
    return self->Handle(msg, wp, lp);
  } catch (...) {
    // Nothing may leave a window procedure; a line that could not be shown is simply lost.
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

void TViewerWindow::CreateControls() {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  auto make = [&](DWORD exStyle, const char* cls, const char* text, DWORD style, int id) {
    HWND h = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                             hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
    SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return h;
  };
  cbFilter_ = make(0, "BUTTON", "Filter", BS_AUTOCHECKBOX | WS_TABSTOP, IDC_FILTER);
  lblLevel_ = make(0, "STATIC", "Level:", SS_RIGHT | SS_CENTERIMAGE, 0);
  edtLevel_ = make(WS_EX_CLIENTEDGE, "EDIT", "3", ES_AUTOHSCROLL | WS_TABSTOP, IDC_LEVEL);
  lblTag_ = make(0, "STATIC", "Tag:", SS_RIGHT | SS_CENTERIMAGE, 0);
  edtTag_ = make(WS_EX_CLIENTEDGE, "EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, IDC_TAG);
  SendMessageA(edtTag_, EM_LIMITTEXT, kTraceMaxTag, 0);
  lblKinds_ = make(0, "STATIC", "Kinds:", SS_RIGHT | SS_CENTERIMAGE, 0);
  edtKinds_ = make(WS_EX_CLIENTEDGE, "EDIT", "0", ES_AUTOHSCROLL | WS_TABSTOP, IDC_KINDS);
  btnApply_ = make(0, "BUTTON", "Apply", BS_PUSHBUTTON | WS_TABSTOP, IDC_APPLY);
  btnClear_ = make(0, "BUTTON", "Clear", BS_PUSHBUTTON | WS_TABSTOP, IDC_CLEAR);
  lvLines_ = make(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                  LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_TABSTOP, IDC_LINES);
  ListView_SetExtendedListViewStyle(lvLines_, LVS_EX_FULLROWSELECT);
  const struct { const char* name; int width; } columns[] = {
      {"Time", 90}, {"Process", 70}, {"Thread", 70}, {"Tag", 80}, {"Text", 560}};
  for (int i = 0; i < 5; ++i) {
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.pszText = const_cast<char*>(columns[i].name);
    col.cx = columns[i].width;
    SendMessageA(lvLines_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
  }
  lblStatus_ = make(0, "STATIC", "0 lines", SS_LEFT, IDC_STATUS);
}

void TViewerWindow::Layout() {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  int x = 8, y = 8, h = 22;
  auto place = [&](HWND w, int width) {
    MoveWindow(w, x, y, width, h, TRUE);
    x += width + 6;
  };
  place(cbFilter_, 60);
  place(lblLevel_, 40);
  place(edtLevel_, 50);
  place(lblTag_, 30);
  place(edtTag_, 90);
  place(lblKinds_, 40);
  place(edtKinds_, 70);
  place(btnApply_, 70);
  place(btnClear_, 70);
  int top = y + h + 8, statusH = 20;
  int listH = rc.bottom - top - statusH - 8;
  MoveWindow(lvLines_, 0, top, rc.right, listH > 0 ? listH : 0, TRUE);
  MoveWindow(lblStatus_, 8, rc.bottom - statusH, rc.right - 16, statusH - 2, TRUE);
}

void TViewerWindow::ApplyFilter(const TTraceFilterFields& filter) {
  SendMessageA(cbFilter_, BM_SETCHECK, filter.enabled ? BST_CHECKED : BST_UNCHECKED, 0);
  SetWindowTextA(edtLevel_, std::to_string(filter.level).c_str());
  SetWindowTextA(edtTag_, filter.tag.c_str());
  SetWindowTextA(edtKinds_, std::to_string(filter.kinds).c_str());
  host_.SetFilter(filter);
}

void TViewerWindow::OnApplyClick() {
  TTraceFilterFields f;
  f.enabled = SendMessageA(cbFilter_, BM_GETCHECK, 0, 0) == BST_CHECKED;
  uint32_t n = 0;
  // Unreadable numbers fall back to the values that let everything through.
  f.level = ParseViewerNumber(WindowText(edtLevel_), 0x7FFFFFFF, &n) ? static_cast<int32_t>(n) : 3;
  f.tag = WindowText(edtTag_).substr(0, kTraceMaxTag);
  f.kinds = ParseViewerNumber(WindowText(edtKinds_), 0xFFFF, &n) ? static_cast<uint16_t>(n) : 0;
  host_.SetFilter(f);
}

void TViewerWindow::OnClearClick() {
  lines_.clear();
  ListView_SetItemCountEx(lvLines_, 0, 0);
  UpdateStatus();
}

void TViewerWindow::UpdateStatus() {
  std::string status = std::to_string(total_) + " lines";
  LONG resyncs = host_.Resyncs();
  if (resyncs) status += ", queue damaged " + std::to_string(resyncs) + " times";
  SetWindowTextA(lblStatus_, status.c_str());
}

void TViewerWindow::Deliver(std::vector<TTraceRecord>&& records) {
  std::lock_guard<std::mutex> lock(pendingLock_);
  for (TTraceRecord& r : records) pending_.push_back(std::move(r));
  // One wake-up message at a time, however fast records come.
  if (!posted_ && hwnd_ && PostMessageA(hwnd_, WM_RECORDS, 0, 0)) posted_ = true;
}

void TViewerWindow::TakePending() {
  std::vector<TTraceRecord> records;
  {
    std::lock_guard<std::mutex> lock(pendingLock_);
    records.swap(pending_);
    posted_ = false;
  }
  for (const TTraceRecord& r : records) {
    lines_.push_back({TraceStampTime(r.stamp), std::to_string(r.process), std::to_string(r.thread),
                      Printable(r.tag), Printable(r.text)});
    if (lines_.size() > kMaxLines) lines_.pop_front();
  }
  total_ += records.size();
  int count = static_cast<int>(lines_.size());
  ListView_SetItemCountEx(lvLines_, count, LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
  InvalidateRect(lvLines_, nullptr, FALSE);
  if (count > 0) ListView_EnsureVisible(lvLines_, count - 1, FALSE);
  UpdateStatus();
}

void TViewerWindow::OnGetDispInfo(NMLVDISPINFOA* info) {
  if (!(info->item.mask & LVIF_TEXT) || info->item.iItem < 0 ||
      static_cast<size_t>(info->item.iItem) >= lines_.size())
    return;
  const TLine& line = lines_[info->item.iItem];
  const std::string* field[] = {&line.time, &line.process, &line.thread, &line.tag, &line.text};
  if (info->item.iSubItem < 0 || info->item.iSubItem > 4) return;
  lstrcpynA(info->item.pszText, field[info->item.iSubItem]->c_str(), info->item.cchTextMax);
}

LRESULT TViewerWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      CreateControls();
      return 0;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == IDC_APPLY && HIWORD(wp) == BN_CLICKED) OnApplyClick();
      if (LOWORD(wp) == IDC_CLEAR && HIWORD(wp) == BN_CLICKED) OnClearClick();
      return 0;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr->hwndFrom == lvLines_ && hdr->code == LVN_GETDISPINFOA)
        OnGetDispInfo(reinterpret_cast<NMLVDISPINFOA*>(lp));
      return 0;
    }
    case WM_RECORDS:
      TakePending();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd_, msg, wp, lp);
}
