qm_add_fuzzer(update_fuzz update_fuzz.cpp "${QM_ROOT}/net/UpdateAnswer.cpp" "${QM_ROOT}/net/BannerText.cpp"
              "${QM_ROOT}/tools/UrlText.cpp")
