// The extension's cookie choosing, run by Node's test runner against a fake cookie manager that
// behaves like the browser's: an enumerator of cookie objects and remove(host, name, path, blocked).
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const path = require("node:path");

const QxCookies = require(path.join(process.env.QX_EXTENSION_DIR || path.join(__dirname, "../../cookies/extension"),
                                    "content/qxcookies.js"));

const kInterface = { name: "nsICookie" };

function fakeManager(hosts) {
  const store = hosts.map((host, i) => ({ host, name: "c" + i, path: "/" }));
  const removed = [];
  return {
    store,
    removed,
    get enumerator() {
      let i = 0;
      const snapshot = store.slice();
      return {
        hasMoreElements: () => i < snapshot.length,
        getNext: () => {
          const c = snapshot[i++];
          return { QueryInterface: (iface) => { assert.strictEqual(iface, kInterface); return c; } };
        },
      };
    },
    remove(host, name, pathText, blocked) {
      assert.strictEqual(blocked, false, "removed cookies must not block the site");
      const at = store.findIndex((c) => c.host === host && c.name === name && c.path === pathText);
      assert.notStrictEqual(at, -1, "removed a cookie that is not in the store: " + host);
      store.splice(at, 1);
      removed.push(host);
    },
  };
}

const kHosts = ["example.com", ".example.com", "forum.example.com", ".WWW.Example.COM", "example.org",
                "notexample.com", "example.com.evil.net", "other.net"];
const kFamily = ["example.com", ".example.com", "forum.example.com", ".WWW.Example.COM"];

test("query texts", () => {
  assert.deepStrictEqual(QxCookies.parseQuery("?clear"), { clear: true });
  assert.deepStrictEqual(QxCookies.parseQuery("?domain=example.com"), { domain: "example.com" });
  assert.deepStrictEqual(QxCookies.parseQuery("?domain=ex%61mple.com"), { domain: "example.com" });
  assert.deepStrictEqual(QxCookies.parseQuery("?domain=100%"), { domain: "100%" });
  for (const q of ["", "?", "?domain=", "?clearall", "?Clear", "?dom=example.com", undefined])
    assert.strictEqual(QxCookies.parseQuery(q), null, String(q));
});

test("a domain removes its own cookies and its sub-domains', nothing else", () => {
  for (const typed of ["example.com", "www.example.com", "WWW.EXAMPLE.COM", "Example.Com"]) {
    const m = fakeManager(kHosts);
    const n = QxCookies.removeCookies(m, QxCookies.parseQuery("?domain=" + typed), kInterface);
    assert.strictEqual(n, kFamily.length, typed);
    assert.deepStrictEqual(m.removed, kFamily, typed);
    assert.deepStrictEqual(m.store.map((c) => c.host),
                           ["example.org", "notexample.com", "example.com.evil.net", "other.net"], typed);
  }
});

test("a sub-domain leaves its parent alone", () => {
  const m = fakeManager(kHosts);
  QxCookies.removeCookies(m, QxCookies.parseQuery("?domain=forum.example.com"), kInterface);
  assert.deepStrictEqual(m.removed, ["forum.example.com"]);
});

test("clear removes every cookie; no query or an empty domain removes none", () => {
  const all = fakeManager(kHosts);
  assert.strictEqual(QxCookies.removeCookies(all, QxCookies.parseQuery("?clear"), kInterface), kHosts.length);
  assert.strictEqual(all.store.length, 0);
  for (const q of ["?domain=", "?nothing", "?domain=www."]) {
    const m = fakeManager(kHosts);
    QxCookies.removeCookies(m, QxCookies.parseQuery(q), kInterface);
    assert.strictEqual(m.store.length, kHosts.length, q);
  }
});

test("host matching edge cases", () => {
  assert.ok(QxCookies.hostMatches(".localhost", "localhost"));
  assert.ok(!QxCookies.hostMatches("localhost", "host"));
  assert.ok(!QxCookies.hostMatches(".", "example.com"));
  assert.ok(!QxCookies.hostMatches("example.com", ""));
  assert.ok(!QxCookies.hostMatches("com", "example.com"));
});

test("the page removes what its address asks for and always closes its window", () => {
  const run = (search, manager) => {
    let closed = 0;
    global.Components = {
      interfaces: { nsICookieManager: { name: "nsICookieManager" }, nsICookie: kInterface },
      classes: {
        "@mozilla.org/cookiemanager;1": {
          getService: (iface) => {
            assert.strictEqual(iface, global.Components.interfaces.nsICookieManager);
            if (!manager) throw new Error("no cookie service");
            return manager;
          },
        },
      },
    };
    const win = { location: { search }, close: () => { closed++; } };
    try {
      QxCookies.runPage(win);
    } catch (e) {
      // A failing cookie service may surface; the window must be closed all the same.
    } finally {
      delete global.Components;
    }
    return closed;
  };

  const m = fakeManager(kHosts);
  assert.strictEqual(run("?domain=www.example.com", m), 1);
  assert.deepStrictEqual(m.removed, kFamily);
  const all = fakeManager(kHosts);
  assert.strictEqual(run("?clear", all), 1);
  assert.strictEqual(all.store.length, 0);
  const none = fakeManager(kHosts);
  assert.strictEqual(run("", none), 1);
  assert.strictEqual(none.store.length, kHosts.length);
  assert.strictEqual(run("?clear", null), 1);
});
