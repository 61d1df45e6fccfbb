# giflib for the web build: compiled with emcc from Debian's source package of the release the
# programs link (libgif-dev), unpacked with its Debian patches by ./dev (build_web) into
# build/deb-src/giflib, so that the page and the command line write the same GIF bytes.
set(PW_GIFLIB_SOURCE_DIR "${PROJECT_SOURCE_DIR}/build/deb-src/giflib" CACHE PATH "giflib's C sources")
if(NOT EXISTS ${PW_GIFLIB_SOURCE_DIR}/gif_lib.h)
  message(FATAL_ERROR "No giflib sources in ${PW_GIFLIB_SOURCE_DIR}: run ./dev web, which fetches Debian's source package")
endif()
add_library(pw_giflib STATIC)
foreach(source dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray)
  target_sources(pw_giflib PRIVATE ${PW_GIFLIB_SOURCE_DIR}/${source}.c)
endforeach()
target_include_directories(pw_giflib SYSTEM PUBLIC ${PW_GIFLIB_SOURCE_DIR})
target_compile_options(pw_giflib PRIVATE -w)
add_library(GIF::GIF ALIAS pw_giflib)
