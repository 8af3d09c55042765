// Erasing all Internet Explorer cookies, 10,000 files in the cookie folder, next to one bare
// SHFileOperationA deleting the same files. The two are run alternately and the best of each kept.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "Bench.h"
#include "cookies/CookieOps.h"

namespace {

const int kFiles = 10000;

bool PlaceFiles(const std::string& folder) {
  const std::string record = "k\nvalue\nexample.com/\n9728\n2914986496\n31119351\n1840399408\n30946433\n*\n";
  for (int i = 0; i < kFiles; ++i) {
    const std::string path = folder + "\\user@site" + std::to_string(i) + "[1].txt";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(h, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(h);
  }
  return true;
}

double TimeProgram(const std::string& folder) {
  if (!PlaceFiles(folder)) return -1;
  const double t0 = QmBenchNow();
  const bool ok = ClearIECookies().Status == TClearStatus::Done;
  const double s = QmBenchNow() - t0;
  return ok ? s : -1;
}

double TimeBare(const std::string& folder) {
  if (!PlaceFiles(folder)) return -1;
  std::string from = folder + "\\*.txt";
  from.push_back('\0');
  from.push_back('\0');
  SHFILEOPSTRUCTA op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_FILESONLY;
  const double t0 = QmBenchNow();
  const int rc = SHFileOperationA(&op);
  return rc == 0 ? QmBenchNow() - t0 : -1;
}

}  // namespace

int main() {
  const std::string folder = GetCookieFolder();
  if (folder.empty()) return 1;
  CreateDirectoryA(folder.c_str(), nullptr);
  double best = -1, bestBare = -1;
  for (int i = 0; i < 3; ++i) {
    const double a = TimeProgram(folder);
    const double b = TimeBare(folder);
    if (a < 0 || b < 0) return 1;
    if (best < 0 || a < best) best = a;
    if (bestBare < 0 || b < bestBare) bestBare = b;
  }
  QmBenchRow("IE cookies erased, 10000 files (ms)", QmBenchFmt("%.0f", best * 1000),
             QmBenchFmt("%.0f (one SHFileOperationA)", bestBare * 1000), best / bestBare, "<= 1.5");
  return 0;
}
