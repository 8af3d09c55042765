qm_add_fuzzer(lan_fuzz lan_fuzz.cpp "${QM_ROOT}/lang/LanFormat.cpp")
qm_add_fuzzer(url_fuzz url_fuzz.cpp "${QM_ROOT}/tools/UrlText.cpp")
qm_add_fuzzer(cookie_fuzz cookie_fuzz.cpp "${QM_ROOT}/cookies/CookieRules.cpp")
qm_add_fuzzer(trace_fuzz trace_fuzz.cpp "${QM_ROOT}/platform/TraceQueue.cpp")
