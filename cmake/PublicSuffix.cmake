# qm_public_suffix_table(VAR): makes the public-suffix table (a C++ source) from the system's copy
# of the list at build time, and sets VAR to the source's path. Debian's "publicsuffix" package
# keeps the list; its version is recorded in the table.
set(QM_PUBLIC_SUFFIX_LIST "/usr/share/publicsuffix/public_suffix_list.dat" CACHE FILEPATH
    "The public-suffix list the site rule refuses suffixes from")
set(QM_PUBLIC_SUFFIX_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/../scripts/make-public-suffix.py")
function(qm_public_suffix_table var)
  if(NOT EXISTS "${QM_PUBLIC_SUFFIX_LIST}")
    message(FATAL_ERROR "${QM_PUBLIC_SUFFIX_LIST} is missing: scripts/setup.sh installs the "
                        "package publicsuffix")
  endif()
  find_program(QM_PYTHON3 NAMES python3 REQUIRED)
  execute_process(COMMAND dpkg-query -W -f=\${Version} publicsuffix OUTPUT_VARIABLE version
                  RESULT_VARIABLE result ERROR_QUIET)
  if(NOT result EQUAL 0 OR version STREQUAL "")
    set(version "unknown")
  endif()
  set(out "${CMAKE_CURRENT_BINARY_DIR}/PublicSuffixTable.cpp")
  set(script "${QM_PUBLIC_SUFFIX_SCRIPT}")
  add_custom_command(OUTPUT "${out}"
    COMMAND "${QM_PYTHON3}" "${script}" "${QM_PUBLIC_SUFFIX_LIST}" "${version}" "${out}"
    DEPENDS "${QM_PUBLIC_SUFFIX_LIST}" "${script}"
    COMMENT "Making the public-suffix table (list version ${version})")
  set(${var} "${out}" PARENT_SCOPE)
endfunction()
