find_package(ZLIB REQUIRED)
qm_add_fuzzer(skin_fuzz skin_fuzz.cpp "${QM_ROOT}/toolkit/SkinFile.cpp" "${QM_ROOT}/toolkit/SkinDescription.cpp"
              "${QM_ROOT}/framework/IniText.cpp")
target_link_libraries(skin_fuzz PRIVATE ZLIB::ZLIB)
