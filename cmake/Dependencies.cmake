# Imported targets for the cross-built dependencies in CORVANE_DEPS
# (scripts/build-deps.sh). Each is optional at configure time so a partial
# prefix still builds what it can; a consumer that needs a missing one fails
# at generate time naming the target.
#
#   deps::ogg        libogg
#   deps::vorbis     libvorbis with vorbisenc and vorbisfile (and ogg)
#   deps::lame_enc   BladeMP3EncDLL.h; lame_enc.dll itself is loaded at run time
#   deps::tag        TagLib, static (TAGLIB_STATIC)
#   deps::portaudio  PortAudio with the WinMM and DirectSound host APIs
#   deps::sox        libsox (effects chain)

# corvane_import(name lib [LINKS ...] [DEFINES ...]): deps::<name> from lib<lib>.a.
function(corvane_import name lib)
  cmake_parse_arguments(I "" "" "LINKS;DEFINES" ${ARGN})
  set(path ${CORVANE_DEPS}/lib/lib${lib}.a)
  if(NOT EXISTS ${path})
    message(STATUS "Dependency ${lib} not found in ${CORVANE_DEPS}")
    return()
  endif()
  add_library(deps::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(deps::${name} PROPERTIES
    IMPORTED_LOCATION ${path}
    INTERFACE_INCLUDE_DIRECTORIES ${CORVANE_DEPS}/include
    INTERFACE_LINK_LIBRARIES "${I_LINKS}"
    INTERFACE_COMPILE_DEFINITIONS "${I_DEFINES}")
endfunction()

if(CORVANE_DEPS)
  find_package(GTest CONFIG PATHS ${CORVANE_DEPS} NO_DEFAULT_PATH)

  corvane_import(ogg ogg)
  # Static libraries link in dependency order: vorbisenc and vorbisfile before vorbis.
  corvane_import(vorbis_core vorbis LINKS deps::ogg)
  corvane_import(vorbisenc vorbisenc LINKS deps::vorbis_core)
  corvane_import(vorbisfile vorbisfile LINKS deps::vorbis_core)
  if(TARGET deps::vorbisenc AND TARGET deps::vorbisfile)
    add_library(deps::vorbis INTERFACE IMPORTED GLOBAL)
    set_target_properties(deps::vorbis PROPERTIES
      INTERFACE_LINK_LIBRARIES "deps::vorbisenc;deps::vorbisfile;deps::vorbis_core")
  endif()

  # TagLib's headers include each other by bare name; both spellings work.
  corvane_import(tag tag DEFINES TAGLIB_STATIC)
  if(TARGET deps::tag)
    set_property(TARGET deps::tag APPEND PROPERTY
      INTERFACE_INCLUDE_DIRECTORIES ${CORVANE_DEPS}/include/taglib)
  endif()

  corvane_import(portaudio portaudio LINKS winmm dsound ole32 uuid)
  corvane_import(sox sox)

  # The program and the tests load lame_enc.dll by name from their own folder.
  set(lame_dll ${CORVANE_DEPS}/bin/lame_enc.dll)
  if(EXISTS ${lame_dll} AND EXISTS ${CORVANE_DEPS}/include/BladeMP3EncDLL.h)
    add_library(deps::lame_enc INTERFACE IMPORTED GLOBAL)
    set_target_properties(deps::lame_enc PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES ${CORVANE_DEPS}/include)
    configure_file(${lame_dll} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/lame_enc.dll COPYONLY)
  else()
    message(STATUS "lame_enc.dll not found in ${CORVANE_DEPS}/bin")
  endif()
endif()
