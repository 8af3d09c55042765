# The language fuzzer splits lines with the program's own string list, which comes with the
# component model; native/ holds the one Windows header that model includes.
qm_add_fuzzer(lan_fuzz lan_fuzz.cpp "${QM_ROOT}/lang/LanFormat.cpp" "${QM_ROOT}/components/Strings.cpp"
              "${QM_ROOT}/components/Components.cpp")
target_include_directories(lan_fuzz PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}/native")
qm_add_fuzzer(url_fuzz url_fuzz.cpp "${QM_ROOT}/tools/UrlText.cpp")
include("${QM_ROOT}/cmake/PublicSuffix.cmake")
qm_public_suffix_table(qm_public_suffix_source)
qm_add_fuzzer(cookie_fuzz cookie_fuzz.cpp "${QM_ROOT}/cookies/CookieRules.cpp" "${QM_ROOT}/cookies/SiteRule.cpp"
              "${QM_ROOT}/cookies/PublicSuffix.cpp" "${qm_public_suffix_source}"
              "${QM_ROOT}/framework/IniText.cpp" "${QM_ROOT}/cookies/LocalState.cpp")
qm_add_fuzzer(trace_fuzz trace_fuzz.cpp "${QM_ROOT}/platform/TraceQueue.cpp")
