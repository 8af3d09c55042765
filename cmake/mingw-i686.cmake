# The program as shipped: 32-bit Windows.
set(QM_MINGW_CPU i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
