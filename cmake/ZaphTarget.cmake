# Warnings for our own code only (third-party headers come in as SYSTEM).
function(zaph_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# Sources of a folder tree, picked up as files are added.
function(zaph_sources out dir)
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS
    ${dir}/*.cpp ${dir}/*.h ${dir}/*.ui ${dir}/*.qrc)
  set(${out} ${_srcs} PARENT_SCOPE)
endfunction()
