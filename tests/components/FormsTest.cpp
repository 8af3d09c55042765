// Forms and windowed controls on the real window manager of Wine: modal show, closing rules,
// key preview, a replaceable window procedure, placement and error handling.
#include <gtest/gtest.h>

#include "components/Forms.h"
#include "components/StoredData.h"

namespace {

// Without a window manager on the virtual display, Wine waits two seconds for each managed
// top-level window that is hidden; this program's windows are made unmanaged.
class TUnmanagedWindows : public ::testing::Environment {
 public:
  void SetUp() override {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\components_test.exe\\X11 Driver", 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
      RegCloseKey(key);
    }
  }
};
const auto* const kUnmanaged = ::testing::AddGlobalTestEnvironment(new TUnmanagedWindows);

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Runs `fn` from the message loop of a modal form: a thread message cannot be used (the modal
// loop dispatches window messages), so a one-shot timer of the form's window carries it.
struct TLater {
  static std::function<void()>& Fn() {
    static std::function<void()> fn;
    return fn;
  }
  static void CALLBACK Fire(HWND wnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(wnd, id);
    auto fn = Fn();
    Fn() = nullptr;
    if (fn) fn();
  }
  static void Run(HWND wnd, std::function<void()> fn) {
    Fn() = std::move(fn);
    SetTimer(wnd, 77, 20, &TLater::Fire);
  }
};

TEST(Form, WindowClassIsTheFormClassAndCaptionIsTheWindowText) {
  Application()->Initialize();
  TForm f(nullptr);
  f.SetCaption("Hello");
  char cls[32] = {}, text[32] = {};
  GetClassNameA(f.Handle(), cls, sizeof cls);
  GetWindowTextA(f.Handle(), text, sizeof text);
  EXPECT_STREQ(cls, "TForm");
  EXPECT_STREQ(text, "Hello");
  EXPECT_EQ(GetWindow(f.Handle(), GW_OWNER), Application()->Handle());  // owned by the application window
  // A text set from outside is what the form reports.
  SetWindowTextA(f.Handle(), "Changed");
  EXPECT_EQ(f.Caption(), "Changed");
}

TEST(Form, ShowModalReturnsTheModalResultAndDisablesOtherWindows) {
  Application()->Initialize();
  TForm other(nullptr);
  other.Show();
  TForm dialog(nullptr);
  bool otherEnabledDuring = true;
  TLater::Run(dialog.Handle(), [&] {
    otherEnabledDuring = IsWindowEnabled(other.Handle()) != FALSE;
    dialog.ModalResult = mrYes;
  });
  EXPECT_EQ(dialog.ShowModal(), mrYes);
  EXPECT_FALSE(otherEnabledDuring);
  EXPECT_TRUE(IsWindowEnabled(other.Handle()));
  EXPECT_FALSE(dialog.Visible());
  EXPECT_FALSE(dialog.Modal());
  EXPECT_THROW(other.ShowModal(), Exception);  // a visible window cannot become modal
}

TEST(Form, CloseQueryCanKeepAModalFormOpenAndCloseGivesCancel) {
  Application()->Initialize();
  TForm dialog(nullptr);
  int asked = 0;
  dialog.OnCloseQuery = [&](TObject*, bool& canClose) { canClose = ++asked > 1; };
  TLater::Run(dialog.Handle(), [&] {
    dialog.ModalResult = mrOk;  // refused the first time
    TLater::Run(dialog.Handle(), [&] { PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0); });
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
}

TEST(Form, CloseHidesASecondaryFormUnlessRefused) {
  Application()->Initialize();
  TForm f(nullptr);
  TCloseAction seen = caNone;
  f.OnClose = [&](TObject*, TCloseAction& a) { seen = a; };
  bool allow = false;
  f.OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; };
  f.Show();
  SendMessageA(f.Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
  EXPECT_EQ(seen, caNone);
  allow = true;
  SendMessageA(f.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(seen, caHide);
  EXPECT_FALSE(IsWindowVisible(f.Handle()));
  EXPECT_NE(f.HandleIfAllocated(), nullptr);  // hidden, not destroyed
}

TEST(Form, KeyPreviewLetsTheFormSeeKeysFirst) {
  Application()->Initialize();
  TForm f(nullptr);
  auto* child = new TWinControl(&f);
  child->SetParent(&f);
  child->SetBounds(0, 0, 50, 20);
  std::vector<std::string> order;
  f.OnKeyUp = [&](TObject*, WORD& key, TShiftState) {
    order.push_back("form");
    if (key == VK_ESCAPE) key = 0;  // consumed
  };
  child->OnKeyUp = [&](TObject*, WORD&, TShiftState) { order.push_back("child"); };
  f.Show();
  ASSERT_NE(child->HandleIfAllocated(), nullptr);  // the child's window came with the form's
  EXPECT_EQ(GetParent(child->HandleIfAllocated()), f.HandleIfAllocated());
  SendMessageA(child->Handle(), WM_KEYUP, 'A', 0);
  EXPECT_EQ(order, (std::vector<std::string>{"child"}));
  f.KeyPreview = true;
  order.clear();
  SendMessageA(child->Handle(), WM_KEYUP, 'A', 0);
  SendMessageA(child->Handle(), WM_KEYUP, VK_ESCAPE, 0);
  EXPECT_EQ(order, (std::vector<std::string>{"form", "child", "form"}));
  // The form's own keys reach its OnKeyUp once.
  order.clear();
  SendMessageA(f.Handle(), WM_KEYUP, 'B', 0);
  EXPECT_EQ(order, (std::vector<std::string>{"form"}));
}

TEST(Form, WindowProcCanBeReplacedAndRestored) {
  Application()->Initialize();
  TForm f(nullptr);
  HWND wnd = f.Handle();
  int hooked = 0;
  TWndMethod old = f.WindowProc;
  f.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_USER + 5) {
      ++hooked;
      m.Result = 42;
      return;
    }
    old(m);
  };
  EXPECT_EQ(SendMessageA(wnd, WM_USER + 5, 0, 0), 42);
  f.WindowProc = old;
  EXPECT_EQ(SendMessageA(wnd, WM_USER + 5, 0, 0), 0);
  EXPECT_EQ(hooked, 1);
}

TEST(Form, CentredOnTheScreenWhenShown) {
  Application()->Initialize();
  TForm f(nullptr);
  f.Position = poScreenCenter;
  f.SetClientWidthProp(300);
  f.SetClientHeightProp(200);
  f.Show();
  RECT work, r;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(f.Handle(), &r);
  EXPECT_NEAR((r.left + r.right) / 2, (work.left + work.right) / 2, 2);
  EXPECT_NEAR((r.top + r.bottom) / 2, (work.top + work.bottom) / 2, 2);
  RECT client;
  GetClientRect(f.Handle(), &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 200);
}

TEST(Form, DeactivateFiresWhenAnotherFormIsActivated) {
  Application()->Initialize();
  TForm a(nullptr), b(nullptr);
  int deactivated = 0;
  a.OnDeactivate = [&](TObject*) { ++deactivated; };
  a.Show();
  SetActiveWindow(a.Handle());
  Pump();
  b.Show();
  SetActiveWindow(b.Handle());
  Pump();
  EXPECT_GE(deactivated, 1);
}

// The teardown of a form seen from its derived part: the derived destructor says when that
// part is gone, and the OnDestroy handler (a method of the derived form that touches one of its
// members) and a component that the derived form made note whether it was still there.
bool gDerivedAlive = false;
std::vector<std::string> gTeardown;
const char* AliveText() { return gDerivedAlive ? "alive" : "dead"; }

class TTeardownPart : public TComponent {
  QM_CLASS(TTeardownPart, TComponent)
 public:
  explicit TTeardownPart(TComponent* owner) : TComponent(owner) {}
  ~TTeardownPart() override { gTeardown.push_back(std::string("part ") + AliveText()); }
};
QM_REGISTER_CLASS(TTeardownPart, b) { (void)b; }

class TfrmTeardown : public TForm {
  QM_CLASS(TfrmTeardown, TForm)
 public:
  explicit TfrmTeardown(TComponent* owner) : TForm(owner) {
    gDerivedAlive = true;
    new TTeardownPart(this);
  }
  ~TfrmTeardown() override { gDerivedAlive = false; }
  void FormDestroy(TObject*) {
    closing.push_back("destroyed");
    gTeardown.push_back(std::string("destroy ") + AliveText() + " " + closing.back());
  }
  std::vector<std::string> closing;
};
QM_REGISTER_CLASS(TfrmTeardown, b) { b.Method("FormDestroy", &TfrmTeardown::FormDestroy); }

class TeardownTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application()->Initialize();
    RegisterStoredForm("TfrmTeardown", "object frmTeardown : TfrmTeardown\n  OnDestroy = FormDestroy\nend\n");
    gTeardown.clear();
  }
  void TearDown() override { UnregisterStoredForm("TfrmTeardown"); }
  const std::vector<std::string> kWhole{"destroy alive destroyed", "part alive"};
};

TEST_F(TeardownTest, EveryWayOfFreeingAFormTearsItDownBeforeTheDerivedPartGoes) {
  FreeComponent(NewForm<TfrmTeardown>(nullptr));
  EXPECT_EQ(gTeardown, kWhole) << "FreeComponent";

  gTeardown.clear();
  {
    TComponent owner(nullptr);
    NewForm<TfrmTeardown>(&owner);
  }
  EXPECT_EQ(gTeardown, kWhole) << "freed with its owner";

  gTeardown.clear();
  TfrmTeardown* released = NewForm<TfrmTeardown>(nullptr);
  released->Release();
  EXPECT_TRUE(gTeardown.empty());  // not inside the call that asked for it
  Pump();
  EXPECT_EQ(gTeardown, kWhole) << "Release";

  gTeardown.clear();
  TfrmTeardown* owned = nullptr;
  Application()->CreateForm(&owned);
  ASSERT_NE(owned, nullptr);
  FreeApplication();  // the application frees the forms it owns
  EXPECT_EQ(gTeardown, kWhole) << "FreeApplication";
  Pump();
}

TEST_F(TeardownTest, AFormWhoseStoredDataFailsIsFreedWholeBeforeTheErrorLeaves) {
  RegisterStoredForm("TfrmTeardown", "object frmTeardown : TfrmTeardown\n  Bogus = 1\nend\n");
  EXPECT_THROW(NewForm<TfrmTeardown>(nullptr), EReadError);
  // Never created, so no OnDestroy; the derived form's own component went while it lived.
  EXPECT_EQ(gTeardown, (std::vector<std::string>{"part alive"}));

  gTeardown.clear();
  TfrmTeardown* var = nullptr;
  EXPECT_THROW(Application()->CreateForm(&var), EReadError);
  EXPECT_EQ(var, nullptr);
  EXPECT_EQ(gTeardown, (std::vector<std::string>{"part alive"}));
}

TEST(Application, ErrorsInHandlersGoToTheErrorHandlerNotTheCaller) {
  TApplication* app = Application();
  app->Initialize();
  std::string caught;
  app->OnException = [&](TObject*, const std::exception& e) { caught = e.what(); };
  TForm f(nullptr);
  f.OnShow = [](TObject*) { throw Exception("broken handler"); };
  f.Show();  // WM_SHOWWINDOW runs the handler inside the window procedure
  Pump();
  EXPECT_EQ(caught, "broken handler");
  caught.clear();
  EXPECT_FALSE(GuardedCall([] { throw EInvalidCast(); }));
  EXPECT_EQ(caught, "Invalid class typecast");
  app->OnException = nullptr;
}

TEST(Application, TerminateEndsRunAndTheMainFormIsTheFirstCreated) {
  FreeApplication();  // a fresh application object: no main form yet
  TApplication* app = Application();
  app->Initialize();
  TCustomForm* first = nullptr;
  TCustomForm* second = nullptr;
  app->CreateForm(TForm::StaticClass(), &first);
  app->CreateForm(TForm::StaticClass(), &second);
  EXPECT_EQ(app->MainForm(), first);
  EXPECT_EQ(first->Owner(), app);
  // Closing the main form ends the loop.
  PostMessageA(first->Handle(), WM_CLOSE, 0, 0);
  app->Run();
  EXPECT_TRUE(app->Terminated());
  EXPECT_TRUE(IsWindowVisible(first->Handle()));  // shown by Run
  delete first;
  EXPECT_EQ(app->MainForm(), nullptr);
  // A class that is no form is refused.
  TCustomForm* none = nullptr;
  EXPECT_THROW(app->CreateForm(TStringList::StaticClass(), &none), EInvalidCast);
  FreeApplication();  // frees `second` with it
  Pump();  // the quit of the finished loop
}

}  // namespace
