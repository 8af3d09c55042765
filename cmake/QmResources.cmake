# Version resource, icon and application manifest for the program's executables. The version
# comes from one place: "App.Ver" in data/const.dat, which is what the program shows.
file(STRINGS "${CMAKE_SOURCE_DIR}/data/const.dat" _qm_ver_line REGEX "^App\\.Ver=")
string(REGEX REPLACE "^App\\.Ver=([0-9.]+).*$" "\\1" QM_APP_VERSION "${_qm_ver_line}")
if(NOT QM_APP_VERSION MATCHES "^[0-9]+(\\.[0-9]+)*$")
  message(FATAL_ERROR "data/const.dat has no usable App.Ver")
endif()
string(REPLACE "." ";" _qm_parts "${QM_APP_VERSION}")
list(APPEND _qm_parts 0 0 0 0)
list(SUBLIST _qm_parts 0 4 _qm_parts)
string(REPLACE ";" "," QM_APP_VERSION_COMMAS "${_qm_parts}")

# qm_add_version_resource(TARGET "Description" "OriginalName.exe"): version information,
# the program icon and the manifest (asInvoker, supported systems, common controls).
function(qm_add_version_resource target description original)
  set(QM_RES_DESCRIPTION "${description}")
  set(QM_RES_ORIGINAL "${original}")
  set(QM_RES_ICON "${CMAKE_SOURCE_DIR}/art/Quillmoor.ico")
  set(QM_RES_MANIFEST "${CMAKE_SOURCE_DIR}/cmake/app.manifest")
  configure_file("${CMAKE_SOURCE_DIR}/cmake/version.rc.in"
                 "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc" @ONLY)
  target_sources(${target} PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
endfunction()
