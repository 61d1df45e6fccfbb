# zlib for the web build: compiled with emcc from the C sources that the npm package zlib-sync
# carries (zlib 1.3.1, unmodified), which ./dev installs into web/node_modules. Only the
# in-memory deflate and inflate parts; no gz* file functions.
set(PW_ZLIB_SOURCE_DIR "${PROJECT_SOURCE_DIR}/web/node_modules/zlib-sync/deps/zlib" CACHE PATH "zlib's C sources")
if(NOT EXISTS ${PW_ZLIB_SOURCE_DIR}/zlib.h)
  message(FATAL_ERROR "No zlib sources in ${PW_ZLIB_SOURCE_DIR}: run ./dev web, which installs them with npm")
endif()
add_library(pw_zlib STATIC)
foreach(source adler32 compress crc32 deflate inffast inflate inftrees trees uncompr zutil)
  target_sources(pw_zlib PRIVATE ${PW_ZLIB_SOURCE_DIR}/${source}.c)
endforeach()
target_include_directories(pw_zlib SYSTEM PUBLIC ${PW_ZLIB_SOURCE_DIR})
target_compile_options(pw_zlib PRIVATE -w)
add_library(ZLIB::ZLIB ALIAS pw_zlib)
