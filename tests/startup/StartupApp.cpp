// A small application on the framework for the start-up tests: its own main window "TfrmMain"
// (stored in its own resource), run through RunApplication. It writes what happens to
// "events.txt" beside its executable, one line per event, so that the tests (other processes)
// can follow it:
//   debug <pid> <0|1>          the debug decision (written from CanStart, before any window)
//   window <pid> <hwnd>        the main window exists (OnCreate)
//   ready <pid>                the post-start work composed the title (OnTitleChange)
//   holding <pid>              the post-start work is held while "hold.flag" exists
//   cmd <pid> <n>:<bytes>      OnCmdFile received a text of n bytes
//   destroy <pid>              the main window is being destroyed (OnDestroy)
//   exit <pid> <code>          RunApplication returned
// Environment switches: QM_TEST_KEYS=ctrlshift (Ctrl and Shift read as held),
// QM_TEST_CANSTART=0 (CanStart refuses), QM_TEST_DAMAGED=1 (damaged stored window data),
// QM_TEST_THROW=1 (reading the main window raises something that is no std::exception).
#include <windows.h>

#include <string>

#include "app/CLMain.h"
#include "components/StoredData.h"
#include "framework/CLEngine.h"
#include "framework/CLSettings.h"
#include "platform/TraceChannel.h"
#include "tools/QVTools.h"

namespace {

std::string EnvVar(const char* name) {
  char buffer[256] = {};
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return n && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

void Log(const std::string& line) {
  // Appends are whole lines in one write, so the lines of several processes never mix.
  std::string path = QV_GetAppPath() + "events.txt";
  HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
}

std::string Pid() { return std::to_string(GetCurrentProcessId()); }

SHORT HeldCtrlShift(int vk) { return (vk == VK_CONTROL || vk == VK_SHIFT) ? static_cast<SHORT>(0x8000) : 0; }

bool CanStart() {
  Log("debug " + Pid() + " " + (DebugMode() ? "1" : "0"));
  return EnvVar("QM_TEST_CANSTART") != "0";
}

// Holds the post-start work (InitPending stays set) while the flag file exists, answering
// other instances meanwhile. Runs from OnLanguageChanged, the first step of that work.
void HoldPostStart() {
  std::string flag = QV_GetAppPath() + "hold.flag";
  if (GetFileAttributesA(flag.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  Log("holding " + Pid());
  DWORD start = GetTickCount();
  while (GetFileAttributesA(flag.c_str()) != INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 30000) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
}

}  // namespace

class TfrmMain : public TForm {
  QM_CLASS(TfrmMain, TForm)
 public:
  explicit TfrmMain(TComponent* owner) : TForm(owner) {}
  void Loaded() override {
    TForm::Loaded();
    if (EnvVar("QM_TEST_THROW") == "1") throw 42;
  }
  TCLEngine* engine1 = nullptr;
  void FormCreate(TObject*) {
    Log("window " + Pid() + " " + std::to_string(reinterpret_cast<UINT_PTR>(Handle())));
  }
  void engine1CmdFile(const std::string& strFileName) {
    Log("cmd " + Pid() + " " + std::to_string(strFileName.size()) + ":" + strFileName);
  }
  void engine1TitleChange(TObject*) { Log("ready " + Pid()); }
  void engine1LanguageChanged(TObject*) { HoldPostStart(); }
  void FormDestroy(TObject*) { Log("destroy " + Pid()); }
};

QM_REGISTER_CLASS(TfrmMain, b) {
  b.Field("engine1", &TfrmMain::engine1);
  b.Method("FormCreate", &TfrmMain::FormCreate);
  b.Method("engine1CmdFile", &TfrmMain::engine1CmdFile);
  b.Method("engine1TitleChange", &TfrmMain::engine1TitleChange);
  b.Method("FormDestroy", &TfrmMain::FormDestroy);
  b.Method("engine1LanguageChanged", &TfrmMain::engine1LanguageChanged);
}

TfrmMain* frmMain = nullptr;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A debug-mode start would launch the trace viewer (found through the registry value that
  // the trace tests of the same prefix write): it would outlive the test and hold its output
  // open. The debug decision is what these tests follow, so the viewer counts as started.
  GetDebugger()->ViewerStarted = true;
  if (EnvVar("QM_TEST_KEYS") == "ctrlshift") SetKeyStateSource(&HeldCtrlShift);
  if (EnvVar("QM_TEST_DAMAGED") == "1")
    RegisterStoredForm("TfrmMain", "object frmMain : TfrmMain\n  object engine1 : TCLEngine\n    Bogus = 1\n  end\nend\n");
  int code = RunApplication(&frmMain, &CanStart);
  Log("exit " + Pid() + " " + std::to_string(code));
  return code;
}
