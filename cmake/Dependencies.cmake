find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets OpenGL WebEngineCore WebEngineWidgets)
find_package(PkgConfig REQUIRED)
find_package(CURL REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(ZLIB REQUIRED)
find_package(OpenGL REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(LIBLO REQUIRED IMPORTED_TARGET liblo)
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)
pkg_check_modules(PORTAUDIO REQUIRED IMPORTED_TARGET portaudio-2.0)
pkg_check_modules(JACK REQUIRED IMPORTED_TARGET jack)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat libavcodec libavutil libswscale libswresample libavdevice)

if(ZAPH_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(ZAPH_BUILD_BENCH)
  find_package(benchmark REQUIRED)
  # libplist is the baseline the property-list benchmark measures against.
  pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)
endif()

# Designer-form composition panels read ".ui" files through Qt UiTools
# (qt6-tools-dev); without it a composition gets its generated panel.
find_package(Qt6 QUIET COMPONENTS UiTools)
