# The codec libraries, and the loudness meter, as link targets:
#   vy::codecs          libogg, opus, opusfile, libvorbis, vorbisfile (decoding)
#   vy::codec_encoders  libopusenc and vorbisenc (the test-audio generator)
#   vy::ebur128         libebur128 (mtrk-render's loudness by EBU R 128)
#
# VY_CODECS_DIR names the prefix of the project's own static builds
# (scripts/codecs.sh prints it; the presets point at it). Empty means the
# system's shared libraries, as a packager's plain configure finds them.
set(VY_CODECS_DIR "" CACHE PATH "Prefix of the static codec libraries built by scripts/codecs.sh; empty for the system's")

find_package(PkgConfig REQUIRED)

if(VY_CODECS_DIR)
  if(NOT EXISTS "${VY_CODECS_DIR}/recipe")
    message(FATAL_ERROR "No codec libraries in ${VY_CODECS_DIR}: run scripts/codecs.sh first "
      "(scripts/setup.sh does), or configure with -DVY_CODECS_DIR= for the system's.")
  endif()
  if(NOT EXISTS "${VY_CODECS_DIR}/lib/pkgconfig/libebur128.pc")
    message(FATAL_ERROR "${VY_CODECS_DIR} was built before it held libebur128: run scripts/codecs.sh again "
      "(scripts/setup.sh does).")
  endif()
  # Only our own .pc files: a system one must not slip in beside them.
  set(ENV{PKG_CONFIG_LIBDIR} "${VY_CODECS_DIR}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  message(STATUS "Codec libraries: static, from ${VY_CODECS_DIR}")
else()
  message(STATUS "Codec libraries: the system's")
endif()

function(vy_codec_target target prefix)
  pkg_check_modules(${prefix} REQUIRED ${ARGN})
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  if(VY_CODECS_DIR)
    # Static archives need their private dependencies, in link order.
    set(kind STATIC_)
  endif()
  target_include_directories(${target} SYSTEM INTERFACE ${${prefix}_${kind}INCLUDE_DIRS})
  target_compile_options(${target} INTERFACE ${${prefix}_${kind}CFLAGS_OTHER})
  target_link_libraries(${target} INTERFACE ${${prefix}_${kind}LDFLAGS})
endfunction()

vy_codec_target(vy::codecs VY_CODECS opusfile opus vorbisfile vorbis ogg)
vy_codec_target(vy::codec_encoders VY_CODEC_ENCODERS libopusenc vorbisenc)
target_link_libraries(vy::codec_encoders INTERFACE vy::codecs)
vy_codec_target(vy::ebur128 VY_EBUR128 libebur128)
