# Select with -DZAPH_SANITIZE="address;undefined" or -DZAPH_SANITIZE=thread
# (or the asan / tsan presets).
if(ZAPH_SANITIZE)
  string(REPLACE ";" "," _zaph_san "${ZAPH_SANITIZE}")
  add_compile_options(-fsanitize=${_zaph_san} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${_zaph_san})
  if("thread" IN_LIST ZAPH_SANITIZE)
    # Turns on the happens-before annotations of hand-overs through
    # uninstrumented libraries (platform/foundation/HappensBefore.h).
    add_compile_definitions(ZAPH_SANITIZE_THREAD=1)
  endif()
endif()
