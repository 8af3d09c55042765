# 64-bit Windows: the same sources, for running the tests where Wine's 32-bit half cannot run.
set(QM_MINGW_CPU x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
