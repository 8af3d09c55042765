// The downloader and the update check over TLS, against loopback servers that tls-test.sh starts
// for this run: a server with a certificate of a test authority, which this program trusts only
// in the test prefix's own root store and only while a test needs it, one with a self-signed
// certificate, one whose certificate names another server, and a plain HTTP server on a port
// other than 80.
#include <windows.h>

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "framework/CLSettings.h"
#include "net/CLUpdateForm.h"
#include "net/SingleDownloader.h"
#include "support/TestSupport.h"
#include "toolkit/SkinControls.h"
#include "../update/TestHost.h"

using qmtest::WaitFor;

namespace {

// The folder of the run's certificates, as this program sees it ("Z:\...\").
std::string TlsDir() {
  const char* unix = std::getenv("QM_TLS_DIR");
  if (!unix || !*unix) return "";
  std::string path = std::string("Z:") + unix + "\\";
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

std::map<std::string, int> Ports() {
  std::map<std::string, int> ports;
  const std::string text = qmtest::ReadAll(TlsDir() + "ports");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t eq = line.find('=');
    if (eq != std::string::npos) ports[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
    start = end + 1;
  }
  return ports;
}

std::string Address(const char* scheme, const char* server, const std::string& path) {
  return std::string(scheme) + "://127.0.0.1:" + std::to_string(Ports()[server]) + path;
}

// The test authority in the current user's root store, which lives in the prefix's registry; it
// is taken out again when the object goes.
class TTrustedAuthority {
 public:
  TTrustedAuthority() {
    const std::string der = qmtest::ReadAll(TlsDir() + "ca.der");
    store_ = CertOpenSystemStoreA(0, "ROOT");
    if (store_ && !der.empty())
      CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                       static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added_);
    // Written to the registry now, where the chain check reads the roots; an open store may keep
    // its changes until it is closed.
    if (added_) CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
  }
  ~TTrustedAuthority() {
    if (added_) {
      CertDeleteCertificateFromStore(added_);  // frees the context too
      CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    if (store_) CertCloseStore(store_, 0);
  }
  TTrustedAuthority(const TTrustedAuthority&) = delete;
  TTrustedAuthority& operator=(const TTrustedAuthority&) = delete;
  bool Ok() const { return added_ != nullptr; }

 private:
  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT added_ = nullptr;
};

// The body of a download to a string, or "<error>".
std::string Fetch(const std::string& url) {
  TSingleDownloader dl(nullptr);
  std::string outcome;
  dl.OnDoneString = [&](TObject*, const std::string& body) { outcome = body; };
  dl.OnError = [&](TObject*) { outcome = "<error>"; };
  dl.URL = url;
  dl.DownloadToString();
  WaitFor([&] { return !outcome.empty(); }, 30000);
  return outcome;
}

// A fetch from the authority's server in a process of its own, which has never trusted the
// authority (WinInet keeps what it learnt of a server's certificate for the process's life):
// exit code 0 when it failed.
QM_CHILD(fetch_good) {
  return Fetch(Address("https", "good", "/a")) == "<error>" ? 0 : 1;
}

class Tls : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(TlsDir().empty()) << "run by tls-test.sh, which starts the servers";
    ASSERT_EQ(Ports().size(), 4u);
  }
};

}  // namespace

// Certificate problems are never ignored: a self-signed certificate, one for another name, TLS
// to a plain server and plain HTTP to a TLS server all fail, and the authority's own server
// counts only once the authority is trusted. Plain HTTP works on any port.
TEST_F(Tls, AnAnswerCountsOnlyFromTheServerATrustedCertificateNames) {
  EXPECT_EQ(qmtest::RunChild("fetch_good"), 0) << "trusted before the authority was added";
  TTrustedAuthority trusted;
  ASSERT_TRUE(trusted.Ok());
  struct Case { const char* scheme; const char* server; const char* path; const char* outcome; } cases[] = {
      {"https", "good", "/a?x=1", "over tls /a?x=1"},
      {"HTTPS", "good", "/", "over tls /"},
      {"https", "stranger", "/a", "<error>"},
      {"https", "wrongname", "/a", "<error>"},
      {"https", "plain", "/a", "<error>"},
      {"http", "good", "/a", "<error>"},
      {"http", "plain", "/p?q=2", "over plain /p?q=2"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Fetch(Address(c.scheme, c.server, c.path)), c.outcome) << c.scheme << " " << c.server;
}

// The update window over TLS: the trusted server's answer is read; a server whose certificate
// cannot be trusted ends in the network-error text, as any connection that cannot be made does.
TEST_F(Tls, TheUpdateCheckReadsATrustedAnswerAndOtherwiseShowsTheNetworkError) {
  TForm* host = TestHost();
  TTrustedAuthority trusted;
  ASSERT_TRUE(trusted.Ok());
  TCLSettings* s = GetSettings();
  s->WriteString("App.MagicWord", "TlsWord");
  struct Case { const char* server; std::string shows; } cases[] = {
      {"good", "You already have the latest version."},
      {"stranger", GetEngine()->GetLibRes("Update.NetError")},
      {"wrongname", GetEngine()->GetLibRes("Update.NetError")},
  };
  for (const Case& c : cases) {
    s->WriteString("URL.Update", Address("https", c.server, "/update.php"));
    auto* f = NewForm<TfrmCLUpdateForm>(host);
    f->Show();
    f->StartCheck(true);
    EXPECT_TRUE(WaitFor([f] { return !f->Checking() && f->btnOK2->Enabled(); }, 30000)) << c.server;
    EXPECT_EQ(f->lbInfo->GetText(), c.shows) << c.server;
    delete f;
  }
  s->WriteString("URL.Update", "");
  s->WriteString("App.MagicWord", "");
}
