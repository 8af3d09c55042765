// Chooses and removes cookies for the cookie cleaner's chrome page. Written for the script
// engine of Firefox 1.5 (no let, no arrow functions) and loaded as a plain script there; under
// Node it is a module, so the choosing can be tested against a fake cookie manager.
var QxCookies = (function () {
  function lower(text) { return String(text).toLowerCase(); }

  function endsWith(text, tail) {
    return text.length >= tail.length && text.substring(text.length - tail.length) === tail;
  }

  // "?clear" -> { clear: true }; "?domain=NAME" -> { domain: NAME }; anything else -> null.
  function parseQuery(search) {
    var q = String(search || "");
    if (q.charAt(0) === "?") q = q.substring(1);
    if (q === "clear") return { clear: true };
    if (q.indexOf("domain=") !== 0) return null;
    var domain = q.substring("domain=".length);
    try {
      domain = decodeURIComponent(domain);
    } catch (e) {
      // A stray "%" is kept as typed.
    }
    return domain === "" ? null : { domain: domain };
  }

  // The typed domain without a leading "www.", in lower case.
  function matchDomain(domain) {
    var d = lower(domain);
    return d.indexOf("www.") === 0 ? d.substring(4) : d;
  }

  // A cookie host (a leading "." marks a domain cookie) belongs to the domain when it is the
  // domain itself or one of its sub-domains.
  function hostMatches(host, domain) {
    var d = matchDomain(domain);
    if (d === "") return false;
    var h = lower(host);
    if (h.charAt(0) === ".") h = h.substring(1);
    return h === d || endsWith(h, "." + d);
  }

  // The cookies of the list that the query removes.
  function chooseCookies(cookies, query) {
    var chosen = [];
    if (!query) return chosen;
    for (var i = 0; i < cookies.length; i++) {
      if (query.clear || hostMatches(cookies[i].host, query.domain)) chosen.push(cookies[i]);
    }
    return chosen;
  }

  // Removes through the browser's cookie manager; returns how many cookies were removed.
  // The list is taken whole before anything is removed, so the enumeration never sees the
  // store change under it.
  function removeCookies(manager, query, cookieInterface) {
    var all = [];
    var e = manager.enumerator;
    while (e.hasMoreElements()) {
      var item = e.getNext();
      all.push(cookieInterface ? item.QueryInterface(cookieInterface) : item);
    }
    var chosen = chooseCookies(all, query);
    for (var i = 0; i < chosen.length; i++) {
      manager.remove(chosen[i].host, chosen[i].name, chosen[i].path, false);
    }
    return chosen.length;
  }

  // The page's work: read the query, remove, close the window (which ends a Firefox started
  // just for this).
  function runPage(win) {
    try {
      var ci = Components.interfaces;
      var manager = Components.classes["@mozilla.org/cookiemanager;1"].getService(ci.nsICookieManager);
      removeCookies(manager, parseQuery(win.location.search), ci.nsICookie);
    } finally {
      win.close();
    }
  }

  return {
    parseQuery: parseQuery,
    matchDomain: matchDomain,
    hostMatches: hostMatches,
    chooseCookies: chooseCookies,
    removeCookies: removeCookies,
    runPage: runPage
  };
})();

if (typeof module !== "undefined" && module.exports) module.exports = QxCookies;
