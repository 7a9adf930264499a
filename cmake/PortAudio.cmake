# PortAudio for mtrk-render --play, as the link target vy::portaudio when
# found (pkg-config module portaudio-2.0):
#   native builds: the system's (Debian's portaudio19-dev), even when the
#     codecs come from VY_CODECS_DIR, whose pkg-config search holds only them;
#   cross builds (Windows): one in VY_CODECS_DIR's prefix, if it holds one.
# Without it (or with VY_SOUND_OUTPUT off) --play says the build has no
# sound output; --play-to works.
option(VY_SOUND_OUTPUT "mtrk-render --play through PortAudio, when found" ON)
if(TARGET vy::portaudio OR NOT VY_SOUND_OUTPUT)
  if(NOT VY_SOUND_OUTPUT)
    message(STATUS "mtrk-render --play: sound output turned off (VY_SOUND_OUTPUT)")
  endif()
  return()
endif()
set(vy_saved_libdir "$ENV{PKG_CONFIG_LIBDIR}")
set(vy_saved_path "$ENV{PKG_CONFIG_PATH}")
if(NOT CMAKE_CROSSCOMPILING)
  unset(ENV{PKG_CONFIG_LIBDIR})
endif()
pkg_check_modules(VY_PORTAUDIO QUIET portaudio-2.0)
set(ENV{PKG_CONFIG_LIBDIR} "${vy_saved_libdir}")
set(ENV{PKG_CONFIG_PATH} "${vy_saved_path}")
if(VY_PORTAUDIO_FOUND)
  add_library(vy::portaudio INTERFACE IMPORTED GLOBAL)
  if(CMAKE_CROSSCOMPILING)
    set(kind STATIC_)
  endif()
  target_include_directories(vy::portaudio SYSTEM INTERFACE ${VY_PORTAUDIO_${kind}INCLUDE_DIRS})
  target_link_libraries(vy::portaudio INTERFACE ${VY_PORTAUDIO_${kind}LDFLAGS})
  message(STATUS "mtrk-render --play: PortAudio ${VY_PORTAUDIO_VERSION}")
else()
  message(STATUS "mtrk-render --play: no PortAudio (portaudio-2.0), built without sound output")
endif()
