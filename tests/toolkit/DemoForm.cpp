#include "tests/toolkit/DemoForm.h"

#include <cmath>
#include <cstring>

#include "support/TestSupport.h"
#include "tests/toolkit/ToolkitTestUtil.h"

namespace qmtest {

TDemo::~TDemo() { delete Form; }

std::string DiscPng(int size, uint32_t rgb) {
  return MakePng(size, size, true, [&](int x, int y) -> uint32_t {
    double cx = size / 2.0 - 0.5, r = size / 2.0 - 1;
    double dist = std::sqrt((x - cx) * (x - cx) + (y - cx) * (y - cx));
    double a = std::clamp(r - dist + 0.5, 0.0, 1.0);
    double shade = 1.0 - 0.35 * (y / double(size));
    uint32_t rr = uint32_t(((rgb >> 16) & 0xFF) * shade), gg = uint32_t(((rgb >> 8) & 0xFF) * shade),
             bb = uint32_t((rgb & 0xFF) * shade);
    return (uint32_t(a * 255) << 24) | (rr << 16) | (gg << 8) | bb;
  });
}

std::unique_ptr<TForm> NewPlainForm(int clientWidth, int clientHeight) {
  std::unique_ptr<TForm> f(static_cast<TForm*>(CreateFormOf(TForm::StaticClass(), nullptr)));
  f->DesignClientWidth = clientWidth;
  f->DesignClientHeight = clientHeight;
  return f;
}

void BuildDemo(TDemo* d, bool framed, bool show) {
  TForm* f = static_cast<TForm*>(CreateFormOf(TForm::StaticClass(), nullptr));
  d->Form = f;
  f->SetName("frmDemo");
  f->BorderStyle = bsSingle;
  f->BorderIcons = biSystemMenu | biMinimize;
  f->Position = poScreenCenter;
  f->DesignClientWidth = 528;
  f->DesignClientHeight = 321;
  f->SetCaption("Brindlewick");

  d->Skin = new TskSkinData(f);
  d->Skin->SetSkinnableForm(framed);
  d->SysMenu = new TskPopupMenu(f);
  auto* upd = new TMenuItem(f);
  upd->Caption = "&Update...";
  d->SysMenu->Items()->Add(upd);
  d->MenuAbout = new TMenuItem(f);
  d->MenuAbout->Caption = "&About...";
  d->SysMenu->Items()->Add(d->MenuAbout);
  d->Frame = new TskDynamicSkinForm(f);
  d->Frame->SetSkinData(d->Skin);
  d->Frame->SetSystemMenu(d->SysMenu);

  d->Store = new TskPngImageStorage(f);
  std::string error;
  d->Store->Add("PngImage0")->SetPngData(DiscPng(64, 0x3A7DC0));
  d->Store->Add("PngImage1")->SetPngData(DiscPng(40, 0x2F9FE0));
  d->Store->Add("PngImage2")->SetPngData(DiscPng(40, 0xE0702F));

  auto add = [f](TWinControl* c, TWinControl* parent, int l, int t, int w, int h) {
    c->SetBounds(l, t, w, h);
    c->SetParent(parent);
  };
  d->ImgTitle = new TskPngImageView(f);
  add(d->ImgTitle, f, 16, 8, 64, 64);
  d->ImgTitle->SetPngImages(d->Store);
  d->ImgTitle->SetImageIndex(0);
  d->Title = new TskSkinShadowLabel(f);
  d->Title->UseSkinFont = false;
  d->Title->Font()->Name = "Verdana";
  d->Title->Font()->Height = -19;
  d->Title->Font()->Style = TFont::fsBold;
  d->Title->Font()->Changed();
  d->Title->SetText("Brindlewick");
  add(d->Title, f, 96, 24, 10, 10);

  d->PnlAll = new TskSkinExPanel(f);
  d->PnlAll->SetText("Clear All Cookies");
  d->PnlAll->TabOrder = 0;
  add(d->PnlAll, f, 16, 80, 496, 91);
  auto* imgIE = new TskPngImageView(f);
  add(imgIE, d->PnlAll, 3, 31, 40, 40);
  imgIE->SetPngImages(d->Store);
  imgIE->SetImageIndex(1);
  // The controls take the window's own font, as the main window's do: its layout is made
  // for it.
  d->ClearIE = new TskSkinButton(f);
  d->ClearIE->UseSkinFont = false;
  d->ClearIE->SetText("Clear &Internet Explorer Cookies");
  d->ClearIE->TabOrder = 0;
  d->ClearIE->OnClick = [d](TObject*) { d->Clicks[0]++; };
  add(d->ClearIE, d->PnlAll, 48, 35, 185, 25);
  auto* imgFF = new TskPngImageView(f);
  add(imgFF, d->PnlAll, 267, 31, 40, 40);
  imgFF->SetPngImages(d->Store);
  imgFF->SetImageIndex(2);
  d->ClearFF = new TskSkinButton(f);
  d->ClearFF->UseSkinFont = false;
  d->ClearFF->SetText("Clear &Firefox Cookies");
  d->ClearFF->TabOrder = 1;
  d->ClearFF->OnClick = [d](TObject*) { d->Clicks[1]++; };
  add(d->ClearFF, d->PnlAll, 312, 35, 161, 25);
  d->Install = new TskSkinLinkLabel(f);
  d->Install->UseSkinFont = false;
  d->Install->SetText("Install Firefox Extension");
  d->Install->OnClick = [d](TObject*) { d->Clicks[3]++; };
  add(d->Install, d->PnlAll, 356, 62, 121, 17);

  d->PnlWeb = new TskSkinExPanel(f);
  d->PnlWeb->SetText("Delete Website Cookies");
  d->PnlWeb->TabOrder = 1;
  add(d->PnlWeb, f, 16, 173, 497, 137);
  d->WebAddr = new TskSkinStdLabel(f);
  d->WebAddr->UseSkinFont = false;
  d->WebAddr->SetText("Website Address:");
  add(d->WebAddr, d->PnlWeb, 8, 32, 10, 10);
  // Created before the edit box but second in tab order, as in the main window.
  d->Delete = new TskSkinButton(f);
  d->Delete->UseSkinFont = false;
  d->Delete->SetText("&Delete Cookies");
  d->Delete->TabOrder = 0;
  d->Delete->SetDefault(true);
  d->Delete->OnClick = [d](TObject*) { d->Clicks[2]++; };
  add(d->Delete, d->PnlWeb, 368, 47, 105, 25);
  d->Domain = new TskSkinEdit(f);
  d->Domain->UseSkinFont = false;
  d->Domain->TabOrder = 1;
  add(d->Domain, d->PnlWeb, 8, 48, 353, 18);
  d->Help = new TskSkinTextLabel(f);
  d->Help->UseSkinFont = false;
  d->Help->Lines()->SetText(
      "Enter website address such as example.com. You don't need to type the www or other perfix before the main "
      "site address. The program will automaticlly delete all cookies for the domain included any veriation of it "
      "(such as forum.example.com).)");
  add(d->Help, d->PnlWeb, 9, 78, 470, 46);
  // Not on the main window: above the button, clear of the help text.
  d->Check = new TskSkinCheckBox(f);
  d->Check->UseSkinFont = false;
  d->Check->SetText("&Remember");
  d->Check->TabOrder = 2;
  add(d->Check, d->PnlWeb, 368, 26, 105, 17);

  f->HandleNeeded();
  d->Frame->Loaded();
  if (show) {
    f->Show();
    Pump(150);
  }
}

void Pump(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  }
}

namespace {
struct TFind {
  const char* cls;
  const char* text;
  HWND found;
};
BOOL CALLBACK FindProc(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<TFind*>(lp);
  char cls[64] = {}, text[256] = {};
  GetClassNameA(h, cls, sizeof cls);
  GetWindowTextA(h, text, sizeof text);
  if ((!f->cls || lstrcmpiA(cls, f->cls) == 0) && (!f->text || std::strcmp(text, f->text) == 0)) {
    f->found = h;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND FindChild(HWND parent, const char* className, const char* text) {
  TFind f = {className, text, nullptr};
  EnumChildWindows(parent, FindProc, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

COLORREF ScreenPixel(HWND wnd, int x, int y) {
  POINT pt = {x, y};
  ClientToScreen(wnd, &pt);
  HDC dc = GetDC(nullptr);
  COLORREF c = GetPixel(dc, pt.x, pt.y);
  ReleaseDC(nullptr, dc);
  return c;
}

bool SaveWindowBmp(HWND wnd, const std::string& path, bool withFrame) {
  RECT r;
  GetWindowRect(wnd, &r);
  if (!withFrame) {
    GetClientRect(wnd, &r);
    MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  }
  int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  int stride = ((w * 3 + 3) / 4) * 4;
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + stride * h;
  std::string data(reinterpret_cast<char*>(&fh), sizeof fh);
  data.append(reinterpret_cast<char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
  data.append(static_cast<char*>(bits), static_cast<size_t>(stride) * h);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  WriteAll(path, data);
  return true;
}

}  // namespace qmtest
