# Select with -DZAPH_SANITIZE="address;undefined" or -DZAPH_SANITIZE=thread
# (or the asan / tsan presets).
if(ZAPH_SANITIZE)
  string(REPLACE ";" "," _zaph_san "${ZAPH_SANITIZE}")
  add_compile_options(-fsanitize=${_zaph_san} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${_zaph_san})
endif()
