# The splash window's built-in picture goes into its stored data as hex digits; the digits are
# made from art/splash-small.png when the build is configured (and again when the picture
# changes), so the picture itself stays the only copy in the repository.
set(qm_splash_png "${CMAKE_SOURCE_DIR}/art/splash-small.png")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${qm_splash_png}")
file(READ "${qm_splash_png}" qm_splash_hex HEX)
string(TOUPPER "${qm_splash_hex}" qm_splash_hex)
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/SplashPicture.cpp.new"
  "// Made by the build from art/splash-small.png.\n"
  "extern const char kSplashBuiltInPngHex[];\n"
  "const char kSplashBuiltInPngHex[] = \"${qm_splash_hex}\";\n")
# Rewritten only when the content differs, so a new configure does not rebuild the library.
file(COPY_FILE "${CMAKE_CURRENT_BINARY_DIR}/SplashPicture.cpp.new"
  "${CMAKE_CURRENT_BINARY_DIR}/SplashPicture.cpp" ONLY_IF_DIFFERENT)
target_sources(qmlib PRIVATE CLSplashForm.cpp PngForm.cpp "${CMAKE_CURRENT_BINARY_DIR}/SplashPicture.cpp")
