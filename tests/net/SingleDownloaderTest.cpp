// The downloader against a server of the test's own on 127.0.21.x:80: the request as the server
// sees it, the outcomes of damaged and hostile answers, cancel, destruction mid-transfer and the
// thread its events arrive on.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "HttpTestServer.h"
#include <wininet.h>  // after windows.h
#include "net/SingleDownloader.h"
#include "support/TestSupport.h"

using qmtest::THttpConnection;
using qmtest::THttpTestServer;
using qmtest::TScratchDir;
using qmtest::WaitFor;

namespace {

const char kNobody[] = "127.0.29.254";  // nothing listens here

THttpTestServer& Server() {
  static THttpTestServer server(21);
  return server;
}
const std::string& Host() { return Server().Host(); }
std::string Base() { return "http://" + Host(); }

// Lets the message loop run for a while, so that late events would show.
void Pump(DWORD ms) {
  WaitFor([] { return false; }, ms);
}

// The names of the files (not folders) in `folder` (with trailing backslash), sorted.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

// A downloader with every event recorded.
struct TRecorder {
  std::unique_ptr<TSingleDownloader> dl{new TSingleDownloader(nullptr)};
  int doneString = 0, doneFile = 0, errors = 0;
  std::string body, file;
  int32_t fileSize = -1;
  TObject* doneSender = nullptr;
  DWORD doneThread = 0;
  struct TProgress {
    TObject* sender;
    int32_t total, received;
    DWORD thread;
  };
  std::vector<TProgress> progress;

  TRecorder() {
    dl->OnDoneString = [this](TObject* s, const std::string& r) {
      ++doneString;
      body = r;
      doneSender = s;
      doneThread = GetCurrentThreadId();
    };
    dl->OnDoneFile = [this](TObject* s, const std::string& f, int32_t size) {
      ++doneFile;
      file = f;
      fileSize = size;
      doneSender = s;
      doneThread = GetCurrentThreadId();
    };
    dl->OnError = [this](TObject* s) {
      ++errors;
      doneSender = s;
      doneThread = GetCurrentThreadId();
    };
  }
  int Events() const { return doneString + doneFile + errors; }
  bool WaitEvents(int n, DWORD ms = 20000) {
    return WaitFor([&] { return Events() >= n; }, ms);
  }
  void WithProgress() {
    dl->OnProgress = [this](TObject* s, int32_t total, int32_t received) {
      progress.push_back({s, total, received, GetCurrentThreadId()});
    };
  }
};

class SingleDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Server().Listening()) << "cannot listen at port 80 on 127.0.21.x";
    Server().ResetRelease();
    Server().ClearRequests();
    Server().SetHandler(nullptr);
    OriginalTemp();
    // The temporary files go to a folder of this test, so that leftovers can be counted.
    SetEnvironmentVariableA("TMP", temp.Path().c_str());
    SetEnvironmentVariableA("TEMP", temp.Path().c_str());
  }
  void TearDown() override {
    Server().Release();
    SetEnvironmentVariableA("TMP", OriginalTemp().c_str());
    SetEnvironmentVariableA("TEMP", OriginalTemp().c_str());
  }
  static const std::string& OriginalTemp() {
    static const std::string path = [] {
      char buffer[MAX_PATH + 1] = {};
      GetTempPathA(MAX_PATH, buffer);
      return std::string(buffer);
    }();
    return path;
  }
  int TempFiles() {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((temp.Path() + "*").c_str(), &fd);
    int n = 0;
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
  }

  TScratchDir temp{"dltemp"};
  TScratchDir dir{"dl"};
};

// --- The request as the server sees it ------------------------------------------------------------

TEST_F(SingleDownloaderTest, GetRequestCarriesVersionAcceptAgentRefererAndNoCacheUse) {
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string&) { THttpTestServer::Ok(c, "hello"); });
  TRecorder r;
  r.dl->URL = "HTTP://" + Host() + "/a/b?x=1&y=%41";
  r.dl->Agent = "QMTest/1.0";
  r.dl->Referer = "http://referer.example/page";
  r.dl->AcceptTypes = "text/plain";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(1));
  EXPECT_EQ(r.doneString, 1);
  EXPECT_EQ(r.body, "hello");
  auto requests = Server().Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& q = requests[0];
  // The whole request, byte for byte (header order as the system's WinInet writes it).
  EXPECT_EQ(q,
            "GET /a/b?x=1&y=%41 HTTP/1.0\r\n"
            "Referer: http://referer.example/page\r\n"
            "Accept: text/plain\r\n"
            "Host: " + Host() + "\r\n"
            "User-Agent: QMTest/1.0\r\n"
            "\r\n");
}

TEST_F(SingleDownloaderTest, DefaultRequestHasNoAgentNoRefererAndAcceptsEverything) {
  TRecorder r;
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string&) { THttpTestServer::Ok(c, "x"); });
  r.dl->URL = Base() + "/plain";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(1));
  EXPECT_EQ(Server().Requests().at(0), "GET /plain HTTP/1.0\r\nAccept: */*\r\nHost: " + Host() + "\r\n\r\n");
}

TEST_F(SingleDownloaderTest, PostSendsTheBodyWithTheFormOrTheGivenContentType) {
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string&) { THttpTestServer::Ok(c, "posted"); });
  TRecorder r;
  r.dl->URL = Base() + "/form";
  r.dl->PostQuery = "a=1&b=two+words";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(1));
  EXPECT_EQ(r.body, "posted");
  r.dl->ContentType = "Content-Type: text/xml; charset=utf-8";
  r.dl->PostQuery = "<x/>";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(2));

  auto requests = Server().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0],
            "POST /form HTTP/1.0\r\nAccept: */*\r\nHost: " + Host() + "\r\nContent-Length: 15\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\n\r\na=1&b=two+words");
  EXPECT_EQ(requests[1],
            "POST /form HTTP/1.0\r\nAccept: */*\r\nHost: " + Host() + "\r\nContent-Length: 4\r\n"
            "Content-Type: text/xml; charset=utf-8\r\n\r\n<x/>");
}

// Wine's WinInet keeps no answer cache (with UseCache the server is asked every time as well, and
// the request bytes are the same), so besides fresh answers the request flags are read through
// the worker's seam.
TEST_F(SingleDownloaderTest, WithoutUseCacheEveryDownloadReachesTheServer) {
  std::atomic<int> served{0};
  Server().SetHandler([&](THttpConnection& c, const std::string&, const std::string&) {
    std::string body = "answer " + std::to_string(++served);
    c.Answer("200 OK",
             "Content-Length: " + std::to_string(body.size()) +
                 "\r\nCache-Control: public, max-age=3600\r\nExpires: Thu, 01 Jan 2037 00:00:00 GMT\r\n"
                 "Last-Modified: Mon, 01 Jan 2001 00:00:00 GMT\r\n",
             body);
  });
  TRecorder r;
  r.dl->URL = Base() + "/cacheable";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(1));
  EXPECT_EQ(r.body, "answer 1");
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(2));
  EXPECT_EQ(r.body, "answer 2");
  EXPECT_EQ(Server().RequestCount(), 2u);
  EXPECT_EQ(TSingleDownloaderThread::LastRequestFlags, static_cast<DWORD>(INTERNET_FLAG_RELOAD));
  r.dl->UseCache = true;
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(3));
  EXPECT_EQ(TSingleDownloaderThread::LastRequestFlags, 0u);
}

// --- Outcomes -------------------------------------------------------------------------------------

TEST_F(SingleDownloaderTest, BodyWithAndWithoutContentLengthArrivesWhole) {
  const std::string data = Pattern(70000);
  Server().SetHandler([&](THttpConnection& c, const std::string&, const std::string& path) {
    if (path == "/len")
      THttpTestServer::Ok(c, data);
    else
      c.Answer("200 OK", "", data);  // the end of the body is the end of the connection
  });
  TRecorder r;
  r.dl->URL = Base() + "/len";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(1));
  EXPECT_EQ(r.doneString, 1);
  EXPECT_TRUE(r.body == data);
  EXPECT_EQ(r.doneSender, r.dl.get());

  r.dl->URL = Base() + "/nolen";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(2));
  EXPECT_EQ(r.doneString, 2);
  EXPECT_TRUE(r.body == data);

  const std::string target = dir / "sub\\deeper\\file.bin";
  r.dl->FileName = target;
  r.dl->DownloadToFile();  // without length, into a folder that does not exist yet
  ASSERT_TRUE(r.WaitEvents(3));
  EXPECT_EQ(r.doneFile, 1);
  EXPECT_EQ(r.file, target);
  EXPECT_EQ(r.fileSize, 0);
  EXPECT_TRUE(qmtest::ReadAll(target) == data);

  r.dl->URL = Base() + "/len";
  qmtest::WriteAll(target, "old");
  r.dl->DownloadToFile();
  ASSERT_TRUE(r.WaitEvents(4));
  EXPECT_EQ(r.doneFile, 2);
  EXPECT_EQ(r.fileSize, 70000);
  EXPECT_TRUE(qmtest::ReadAll(target) == data);
  EXPECT_EQ(r.errors, 0);
  EXPECT_EQ(TempFiles(), 0);
  // The copy that replaced the old file was made beside it and left no trace there.
  EXPECT_EQ(FilesIn(dir / "sub\\deeper\\"), std::vector<std::string>{"file.bin"});
}

TEST_F(SingleDownloaderTest, BinaryDataRefusesAnAnswerWithoutLength) {
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string& path) {
    if (path == "/nolen")
      c.Answer("200 OK", "", "data");
    else
      THttpTestServer::Ok(c, "data");
  });
  TRecorder r;
  r.dl->BinaryData = true;
  r.dl->URL = Base() + "/nolen";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(1));
  EXPECT_EQ(r.errors, 1);
  r.dl->URL = Base() + "/len";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(2));
  EXPECT_EQ(r.doneString, 1);
  EXPECT_EQ(r.body, "data");
}

// A failed download must never replace the file already in place: partial bodies, error pages,
// empty answers and unreachable servers all leave it as it was.
TEST_F(SingleDownloaderTest, FailuresRaiseOnErrorAndLeaveTheTargetFileAlone) {
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string& path) {
    if (path == "/short")  // announces more than it sends, then closes
      c.Answer("200 OK", "Content-Length: 5000\r\n", std::string(3000, 'p'));
    else if (path == "/missing")
      c.Answer("404 Not Found", "Content-Length: 9\r\n", "not found");
    else if (path == "/broken")
      c.Answer("500 Internal Server Error", "", "error page");
    else if (path == "/empty")
      c.Answer("200 OK", "Content-Length: 0\r\n", "");
    else if (path == "/emptynolen")
      c.Answer("200 OK", "", "");
    else if (path == "/badlen")
      c.Answer("200 OK", "Content-Length: 12abc\r\n", "twelve bytes");
  });
  const std::string target = dir / "keep.dat";
  const char* paths[] = {"/short", "/missing", "/broken", "/emptynolen", "/badlen"};
  int expected = 0;
  for (const char* path : paths) {
    for (bool toFile : {false, true}) {
      TRecorder r;
      qmtest::WriteAll(target, "good old content");
      r.dl->URL = Base() + path;
      r.dl->FileName = target;
      toFile ? r.dl->DownloadToFile() : r.dl->DownloadToString();
      ASSERT_TRUE(r.WaitEvents(1)) << path;
      EXPECT_EQ(r.errors, 1) << path << (toFile ? " to file" : " to string");
      EXPECT_EQ(r.doneSender, r.dl.get());
      EXPECT_EQ(qmtest::ReadAll(target), "good old content") << path;
      ++expected;
    }
  }
  EXPECT_EQ(Server().RequestCount(), static_cast<size_t>(expected));

  // No server at all, and an address without a path, whose "/" the server leaves unanswered.
  for (std::string url : {std::string("http://") + kNobody + "/x", "http://" + Host()}) {
    for (bool toFile : {false, true}) {
      TRecorder r;
      r.dl->URL = url;
      r.dl->FileName = target;
      toFile ? r.dl->DownloadToFile() : r.dl->DownloadToString();
      ASSERT_TRUE(r.WaitEvents(1, 30000)) << url;
      EXPECT_EQ(r.errors, 1) << url;
      EXPECT_EQ(qmtest::ReadAll(target), "good old content");
    }
  }

  // An empty body: a string has nothing to deliver; a file of announced length 0 is complete.
  TRecorder r;
  r.dl->URL = Base() + "/empty";
  r.dl->FileName = target;
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(1));
  EXPECT_EQ(r.errors, 1);
  r.dl->DownloadToFile();
  ASSERT_TRUE(r.WaitEvents(2));
  EXPECT_EQ(r.doneFile, 1);
  EXPECT_EQ(qmtest::ReadAll(target), "");
  EXPECT_EQ(TempFiles(), 0);
}

TEST_F(SingleDownloaderTest, StringDownloadStopsPastSixteenMebibytes) {
  const std::string big(static_cast<size_t>(kMaxStringDownload) + 1024 * 1024, 'b');
  Server().SetHandler([&](THttpConnection& c, const std::string&, const std::string& path) {
    if (path == "/announced")
      THttpTestServer::Ok(c, big);
    else
      c.Answer("200 OK", "", big);
  });
  for (const char* path : {"/announced", "/unannounced"}) {
    TRecorder r;
    r.dl->URL = Base() + path;
    r.dl->DownloadToString();
    ASSERT_TRUE(r.WaitEvents(1, 60000)) << path;
    EXPECT_EQ(r.errors, 1) << path;
    EXPECT_EQ(r.doneString, 0) << path;
  }
}

// --- Busy, cancel and destruction -------------------------------------------------------------------

TEST_F(SingleDownloaderTest, StartingWhileBusyIsIgnoredAndTheFirstStillReports) {
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string& path) {
    if (path == "/slow") c.WaitRelease(10000);
    THttpTestServer::Ok(c, path);
  });
  TRecorder r;
  r.dl->URL = Base() + "/slow";
  r.dl->DownloadToString();
  EXPECT_TRUE(r.dl->Busy());
  r.dl->URL = Base() + "/other";
  r.dl->DownloadToString();
  r.dl->DownloadToFile();
  ASSERT_TRUE(WaitFor([] { return Server().RequestCount() >= 1; }, 10000));
  Server().Release();
  ASSERT_TRUE(r.WaitEvents(1));
  Pump(300);
  EXPECT_EQ(r.Events(), 1);
  EXPECT_EQ(r.body, "/slow");
  EXPECT_EQ(Server().RequestCount(), 1u);
  EXPECT_FALSE(r.dl->Busy());
}

TEST_F(SingleDownloaderTest, CancelThenStartAgainReportsOnlyTheNewTransfer) {
  const std::string target = dir / "cancel.dat";
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string& path) {
    if (path == "/stall") {
      c.Send("HTTP/1.0 200 OK\r\nContent-Length: 4000\r\n\r\n" + std::string(2000, 's'));
      c.WaitRelease(10000);
      c.Send(std::string(2000, 's'));
      return;
    }
    THttpTestServer::Ok(c, "fresh");
  });
  qmtest::WriteAll(target, "untouched");
  TRecorder r;
  r.WithProgress();
  r.dl->URL = Base() + "/stall";
  r.dl->FileName = target;
  r.dl->DownloadToFile();
  ASSERT_TRUE(WaitFor([&] { return !r.progress.empty(); }, 10000));
  r.dl->CancelDownload();
  EXPECT_FALSE(r.dl->Busy());
  r.dl->CancelDownload();  // idle: nothing happens
  size_t progressAtCancel = r.progress.size();

  r.dl->URL = Base() + "/fresh";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(1));
  EXPECT_EQ(r.doneString, 1);
  EXPECT_EQ(r.body, "fresh");

  // The abandoned transfer now ends; it must report nothing and leave the file alone.
  Server().Release();
  ASSERT_TRUE(WaitFor([] { return Server().Finished() >= 2; }, 10000));
  Pump(500);
  EXPECT_EQ(r.Events(), 1);
  EXPECT_EQ(r.errors, 0);
  for (size_t i = progressAtCancel; i < r.progress.size(); ++i)
    EXPECT_NE(r.progress[i].total, 4000) << "progress of the cancelled transfer after the cancel";
  EXPECT_EQ(qmtest::ReadAll(target), "untouched");
  EXPECT_TRUE(WaitFor([&] { return TempFiles() == 0; }, 5000));
}

TEST_F(SingleDownloaderTest, DestroyingTheComponentMidTransferEndsQuietly) {
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string&) {
    c.Send("HTTP/1.0 200 OK\r\nContent-Length: 3000\r\n\r\n" + std::string(1500, 'd'));
    c.WaitRelease(10000);
    c.Send(std::string(1500, 'd'));
  });
  const std::string target = dir / "destroyed.dat";
  int events = 0;
  {
    auto dl = std::make_unique<TSingleDownloader>(nullptr);
    dl->URL = Base() + "/stall";
    dl->FileName = target;
    dl->OnProgress = [&](TObject*, int32_t, int32_t) { ++events; };
    dl->OnDoneFile = [&](TObject*, const std::string&, int32_t) { ++events; };
    dl->OnError = [&](TObject*) { ++events; };
    dl->DownloadToFile();
    ASSERT_TRUE(WaitFor([&] { return events > 0; }, 10000));  // the first chunk arrived
    dl.reset();
  }
  int eventsAtDestruction = events;
  // Destroyed from inside its own progress handler, too.
  TSingleDownloader* inner = new TSingleDownloader(nullptr);
  inner->URL = Base() + "/stall";
  inner->OnProgress = [&](TObject*, int32_t, int32_t) {
    ++events;
    delete inner;
    inner = nullptr;
  };
  inner->OnError = [&](TObject*) { ++events; };
  inner->DownloadToString();
  ASSERT_TRUE(WaitFor([&] { return inner == nullptr; }, 10000));
  int eventsAtSecond = events;

  Server().Release();
  ASSERT_TRUE(WaitFor([] { return Server().Finished() >= 2; }, 10000));
  Pump(500);
  EXPECT_EQ(eventsAtSecond, eventsAtDestruction + 1);
  EXPECT_EQ(events, eventsAtSecond);
  EXPECT_FALSE(qmtest::Exists(target));
  EXPECT_TRUE(WaitFor([&] { return TempFiles() == 0; }, 5000));
}

// --- Hostile servers ---------------------------------------------------------------------------------

namespace {

// How long the user-interface thread (this one, pumping in WaitFor) takes to answer a message
// sent from another thread, all the while it lives: a downloader that held that thread would
// show here.
class TResponsiveness {
 public:
  TResponsiveness() {
    window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    prober_ = std::thread([this] {
      while (!stop_) {
        const DWORD t0 = GetTickCount();
        DWORD_PTR result = 0;
        SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result);
        worst_ = std::max<DWORD>(worst_, GetTickCount() - t0);
        Sleep(20);
      }
      done_ = true;
    });
  }
  ~TResponsiveness() {
    stop_ = true;
    WaitFor([this] { return done_.load(); }, 30000);  // pumping, so that a last probe is answered
    prober_.join();
    DestroyWindow(window_);
  }
  DWORD Worst() const { return worst_; }

 private:
  HWND window_ = nullptr;
  std::atomic<bool> stop_{false}, done_{false};
  std::atomic<DWORD> worst_{0};
  std::thread prober_;
};

const int kHuge = 100 * 1024 * 1024;

}  // namespace

// A server that never answers, one that sends a byte a second, and one that sends 100 MB: the
// user-interface thread answers at once throughout, cancel ends each transfer on the spot
// without a report, and a file download never leaves a partial file behind.
TEST_F(SingleDownloaderTest, HostileServersNeverHoldTheUserInterfaceThread) {
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string& path) {
    if (path == "/silent") {
      c.WaitRelease(60000);
    } else if (path == "/trickle") {
      if (!c.Send("HTTP/1.0 200 OK\r\nContent-Length: 60\r\n\r\n")) return;
      for (int i = 0; i < 60 && !c.WaitRelease(1000); ++i)
        if (!c.Send("t")) return;
    } else if (path == "/huge") {
      if (!c.Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kHuge) + "\r\n\r\n")) return;
      const std::string block = Pattern(64 * 1024);
      for (int sent = 0; sent < kHuge; sent += static_cast<int>(block.size()))
        if (!c.Send(block)) return;
    }
  });
  const std::string target = dir / "target.dat";
  TResponsiveness ui;

  for (const char* path : {"/silent", "/trickle", "/huge"}) {
    SCOPED_TRACE(path);
    qmtest::WriteAll(target, "untouched");
    TRecorder r;
    r.WithProgress();
    r.dl->URL = Base() + path;
    r.dl->FileName = target;
    const DWORD t0 = GetTickCount();
    r.dl->DownloadToFile();
    EXPECT_LT(GetTickCount() - t0, 1000u) << "starting must not wait for the server";
    // 100 MB: cancelled some way into it; the others after a while of their way.
    if (std::string(path) == "/huge") ASSERT_TRUE(WaitFor([&] { return r.progress.size() >= 300; }, 20000));
    else Pump(2500);
    EXPECT_TRUE(r.dl->Busy());
    const DWORD c0 = GetTickCount();
    r.dl->CancelDownload();
    EXPECT_LT(GetTickCount() - c0, 1000u) << "cancel must not wait for the server";
    EXPECT_FALSE(r.dl->Busy());
    const size_t progressAtCancel = r.progress.size();
    Pump(1500);
    EXPECT_EQ(r.Events(), 0);
    EXPECT_EQ(r.progress.size(), progressAtCancel);
    EXPECT_EQ(qmtest::ReadAll(target), "untouched");
  }
  Server().Release();  // the silent and trickling answers end
  EXPECT_TRUE(WaitFor([&] { return TempFiles() == 0; }, 20000)) << "a cancelled transfer left its temporary file";

  // The whole 100 MB to a file, without a progress handler: it arrives whole.
  TRecorder whole;
  whole.dl->URL = Base() + "/huge";
  whole.dl->FileName = target;
  whole.dl->DownloadToFile();
  ASSERT_TRUE(whole.WaitEvents(1, 120000));
  EXPECT_EQ(whole.doneFile, 1);
  EXPECT_EQ(whole.fileSize, kHuge);
  WIN32_FILE_ATTRIBUTE_DATA a = {};
  ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &a));
  EXPECT_EQ(a.nFileSizeLow, static_cast<DWORD>(kHuge));
  DeleteFileA(target.c_str());
  EXPECT_LT(ui.Worst(), 2000u) << "the user-interface thread was held";
}

// A server that accepts and never answers, and ones that trickle a byte now and then (with and
// without an announced length): each ends in OnError, the first by the wait limit, the others by
// the whole limit although no single wait reaches its own; none passes off a part as the answer.
// Cancel and the component's destruction close the handles, so the worker ends with them.
TEST_F(SingleDownloaderTest, TimeLimitsEndStalledAndTricklingServersAndCancelEndsTheWorker) {
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string& path) {
    if (path == "/silent") {
      c.WaitRelease(60000);
    } else if (path == "/trickle-head") {  // one call waits for the whole head
      for (char ch : std::string("HTTP/1.0 200 OK\r\nX-Slow: 1234567890\r\n\r\nbody"))
        if (!c.Send(std::string(1, ch)) || c.WaitRelease(600)) return;
    } else {
      if (!c.Send(path == "/trickle" ? "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" : "HTTP/1.0 200 OK\r\n\r\n")) return;
      for (int i = 0; i < 100 && !c.WaitRelease(600); ++i)
        if (!c.Send("t")) return;
    }
  });
  TTransferLimits limits;
  limits.ConnectMs = 2000;
  limits.IdleMs = 1500;
  limits.TotalMs = 3000;
  struct Case { const char* path; DWORD atLeast, atMost; } cases[] = {
      {"/silent", 1200, 1500 + 1500}, {"/trickle", 2700, 3000 + 1500}, {"/trickle-nolength", 2700, 3000 + 1500},
      {"/trickle-head", 2700, 3000 + 1500}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    TRecorder r;
    r.dl->Limits = limits;
    r.dl->URL = Base() + c.path;
    const DWORD t0 = GetTickCount();
    r.dl->DownloadToString();
    ASSERT_TRUE(r.WaitEvents(1, 20000));
    const DWORD took = GetTickCount() - t0;
    EXPECT_EQ(r.errors, 1);
    EXPECT_GE(took, c.atLeast);
    EXPECT_LE(took, c.atMost);
  }

  // Cancel and destruction close the handles at once, without waiting for the worker. Where
  // closing does not end a blocked call (Wine's WinInet), the wait limit still does.
  const int before = TSingleDownloaderThread::RunningWorkers();
  limits.IdleMs = 3000;
  limits.TotalMs = 60000;
  TRecorder cancelled, destroyed;
  for (TRecorder* r : {&cancelled, &destroyed}) {
    r->dl->Limits = limits;
    r->dl->URL = Base() + "/silent";
    r->dl->DownloadToString();
  }
  ASSERT_TRUE(WaitFor([] { return Server().RequestCount() >= 5; }, 10000));
  EXPECT_EQ(TSingleDownloaderThread::RunningWorkers(), before + 2);
  const DWORD t0 = GetTickCount();
  cancelled.dl->CancelDownload();
  destroyed.dl.reset();
  EXPECT_LT(GetTickCount() - t0, 500u);
  EXPECT_TRUE(WaitFor([&] { return TSingleDownloaderThread::RunningWorkers() == before; }, 3000 + 2000))
      << "workers still running: " << TSingleDownloaderThread::RunningWorkers() - before;
  EXPECT_EQ(cancelled.Events(), 0);
}

// --- Events on the user-interface thread -----------------------------------------------------------

TEST_F(SingleDownloaderTest, ProgressPerChunkOnTheUserInterfaceThread) {
  const std::string data = Pattern(5000);
  Server().SetHandler([&](THttpConnection& c, const std::string&, const std::string&) {
    // Sent in pieces with pauses, so that the reads really come in chunks.
    c.Send("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n");
    for (size_t at = 0; at < data.size(); at += 1000) {
      c.Send(data.substr(at, 1000));
      Sleep(20);
    }
  });
  TRecorder r;
  r.WithProgress();
  r.dl->URL = Base() + "/chunks";
  r.dl->DownloadToString();
  ASSERT_TRUE(r.WaitEvents(1));
  ASSERT_EQ(r.doneString, 1);
  EXPECT_TRUE(r.body == data);
  EXPECT_EQ(r.doneThread, GetCurrentThreadId());
  ASSERT_GE(r.progress.size(), 5u);  // at most 1025 bytes a chunk
  int32_t last = 0;
  for (const auto& p : r.progress) {
    EXPECT_EQ(p.thread, GetCurrentThreadId());
    EXPECT_EQ(p.total, 5000);
    EXPECT_GT(p.received, last);
    EXPECT_LE(p.received - last, 1025);
    EXPECT_NE(p.sender, nullptr);
    EXPECT_NE(p.sender, static_cast<TObject*>(r.dl.get())) << "progress comes from the worker";
    last = p.received;
  }
  EXPECT_EQ(last, 5000);
}

TEST_F(SingleDownloaderTest, WaitThreadReturnsOnlyAfterTheOutcome) {
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string&) {
    Sleep(200);
    THttpTestServer::Ok(c, "waited");
  });
  const std::string target = dir / "waited.txt";
  TRecorder r;
  r.dl->WaitThread = true;
  r.dl->URL = Base() + "/wait";
  r.dl->DownloadToString();
  EXPECT_EQ(r.doneString, 1);
  EXPECT_EQ(r.body, "waited");
  r.dl->FileName = target;
  r.dl->DownloadToFile();
  EXPECT_EQ(r.doneFile, 1);
  EXPECT_EQ(qmtest::ReadAll(target), "waited");
  EXPECT_FALSE(r.dl->Busy());
}

TEST_F(SingleDownloaderTest, AHandlerMayStartTheNextDownload) {
  Server().SetHandler([](THttpConnection& c, const std::string&, const std::string& path) { THttpTestServer::Ok(c, path); });
  TRecorder r;
  std::vector<std::string> bodies;
  r.dl->OnDoneString = [&](TObject*, const std::string& body) {
    bodies.push_back(body);
    if (bodies.size() == 1) {
      r.dl->URL = Base() + "/second";
      r.dl->DownloadToString();
    }
  };
  r.dl->URL = Base() + "/first";
  r.dl->DownloadToString();
  ASSERT_TRUE(WaitFor([&] { return bodies.size() == 2; }, 20000));
  EXPECT_EQ(bodies, (std::vector<std::string>{"/first", "/second"}));
}

TEST_F(SingleDownloaderTest, PublishedPropertiesInDeclaredOrderWithDefaults) {
  TSingleDownloader dl(nullptr);
  std::vector<std::string> names;
  for (const TPropInfo* p : TSingleDownloader::StaticClass().Properties())
    if (p->Index >= 0) names.push_back(p->Name);
  std::vector<std::string> own(names.end() - 16, names.end());
  EXPECT_EQ(own, (std::vector<std::string>{"AcceptTypes", "Agent", "BinaryData", "URL", "UseCache", "FileName",
                                           "UserName", "Password", "ContentType", "PostQuery", "Referer",
                                           "WaitThread", "OnProgress", "OnDoneFile", "OnDoneString", "OnError"}));
  EXPECT_EQ(GetStrProp(&dl, "AcceptTypes"), "*/*");
  EXPECT_EQ(GetOrdProp(&dl, "UseCache"), 0);
}

}  // namespace

// A download onto a full disk (run by full-disk-download.sh with a 64 KiB drive as the argument):
// the copy onto the target cannot be completed, so the download fails, and the file that was
// there before is still whole, with nothing left beside it. Exit code 0 when all holds.
QM_CHILD(full_disk_download) {
  const std::string root = args.at(0);  // e.g. "R:\\"
  THttpTestServer server(24);
  if (!server.Listening()) return 2;
  const std::string body = Pattern(256 * 1024);  // four times the drive
  server.SetHandler([&](THttpConnection& c, const std::string&, const std::string&) { THttpTestServer::Ok(c, body); });
  const std::string target = root + "banner.htm";
  const std::string before = "good old content";
  qmtest::WriteAll(target, before);
  if (qmtest::ReadAll(target) != before) return 3;
  TRecorder r;
  r.dl->URL = "http://" + server.Host() + "/big";
  r.dl->FileName = target;
  r.dl->DownloadToFile();
  if (!r.WaitEvents(1, 30000)) return 4;
  if (r.errors != 1) return 5;                        // reported as the failure it is
  if (qmtest::ReadAll(target) != before) return 6;    // the old file, whole
  if (FilesIn(root) != std::vector<std::string>{"banner.htm"}) return 7;  // no partial copy left
  return 0;
}
