# Imported targets for the cross-built dependencies in CORVANE_DEPS.
# Each is optional at configure time so a partial prefix still builds what it can.

function(corvane_import name lib)
  find_library(${name}_LIBRARY NAMES ${lib} PATHS ${CORVANE_DEPS}/lib NO_DEFAULT_PATH)
  if(${name}_LIBRARY)
    add_library(deps::${name} STATIC IMPORTED GLOBAL)
    set_target_properties(deps::${name} PROPERTIES
      IMPORTED_LOCATION ${${name}_LIBRARY}
      INTERFACE_INCLUDE_DIRECTORIES ${CORVANE_DEPS}/include)
  endif()
endfunction()

if(CORVANE_DEPS)
  find_package(GTest CONFIG PATHS ${CORVANE_DEPS} NO_DEFAULT_PATH)
endif()
