# zlib, libdeflate and giflib for the web build: compiled with emcc from Debian's source packages of the
# releases the programs link, which ./dev unpacks into <build>/src (debian_source). Of zlib only
# the in-memory deflate and inflate parts, no gz* file functions. The folders are plain variables,
# not cache entries, so that a build folder configured with older source folders follows along.
set(PW_ZLIB_SOURCE_DIR "${CMAKE_BINARY_DIR}/src/zlib")
set(PW_LIBDEFLATE_SOURCE_DIR "${CMAKE_BINARY_DIR}/src/libdeflate")
foreach(header ${PW_ZLIB_SOURCE_DIR}/zlib.h ${PW_LIBDEFLATE_SOURCE_DIR}/libdeflate.h)
  if(NOT EXISTS ${header})
    message(FATAL_ERROR "No ${header}: run ./dev web, which unpacks Debian's source packages")
  endif()
endforeach()

add_library(pw_zlib STATIC)
foreach(source adler32 compress crc32 deflate inffast inflate inftrees trees uncompr zutil)
  target_sources(pw_zlib PRIVATE ${PW_ZLIB_SOURCE_DIR}/${source}.c)
endforeach()
target_include_directories(pw_zlib SYSTEM PUBLIC ${PW_ZLIB_SOURCE_DIR})
target_compile_options(pw_zlib PRIVATE -w)
add_library(ZLIB::ZLIB ALIAS pw_zlib)

# The portable code of libdeflate: its processor-specific parts compile to nothing here.
add_library(pw_libdeflate STATIC)
foreach(source adler32 crc32 deflate_compress deflate_decompress utils zlib_compress zlib_decompress)
  target_sources(pw_libdeflate PRIVATE ${PW_LIBDEFLATE_SOURCE_DIR}/lib/${source}.c)
endforeach()
target_include_directories(pw_libdeflate SYSTEM PUBLIC ${PW_LIBDEFLATE_SOURCE_DIR})
target_compile_options(pw_libdeflate PRIVATE -w)

# giflib, so that the page and the command line write the same GIF bytes.
set(PW_GIFLIB_SOURCE_DIR "${CMAKE_BINARY_DIR}/src/giflib")
if(NOT EXISTS ${PW_GIFLIB_SOURCE_DIR}/gif_lib.h)
  message(FATAL_ERROR "No ${PW_GIFLIB_SOURCE_DIR}/gif_lib.h: run ./dev web, which unpacks Debian's source packages")
endif()
add_library(pw_giflib STATIC)
foreach(source dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray)
  target_sources(pw_giflib PRIVATE ${PW_GIFLIB_SOURCE_DIR}/${source}.c)
endforeach()
target_include_directories(pw_giflib SYSTEM PUBLIC ${PW_GIFLIB_SOURCE_DIR})
target_compile_options(pw_giflib PRIVATE -w)
add_library(GIF::GIF ALIAS pw_giflib)
