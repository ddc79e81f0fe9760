# One version for every shipped binary: the one project(Velmorant VERSION ...)
# declares. Subprojects (the example engine) reset PROJECT_VERSION, so this
# reads Velmorant_VERSION.

set(VELMORANT_VERSION ${Velmorant_VERSION})
set(VELMORANT_VERSION_MAJOR ${Velmorant_VERSION_MAJOR})
set(VELMORANT_VERSION_MINOR ${Velmorant_VERSION_MINOR})
set(VELMORANT_VERSION_PATCH ${Velmorant_VERSION_PATCH})
if(NOT VELMORANT_VERSION_MINOR)
    set(VELMORANT_VERSION_MINOR 0)
endif()
if(NOT VELMORANT_VERSION_PATCH)
    set(VELMORANT_VERSION_PATCH 0)
endif()
set(VELMORANT_VERSION_DIR ${CMAKE_CURRENT_LIST_DIR}/version)

# VelmorantVersion.h, for programs that print their version.
set(VELMORANT_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${VELMORANT_VERSION_DIR}/VelmorantVersion.h.in ${VELMORANT_GENERATED_DIR}/VelmorantVersion.h @ONLY)

# Gives target a VERSIONINFO resource: numeric and text versions, company,
# product, the description given and the file's own name. i686 binaries also
# carry the runtime manifest (Runtime.cmake); the linker merges both
# resource objects into one resource section.
function(velmorant_version_resource target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION" "")
    if(NOT arg_DESCRIPTION)
        message(FATAL_ERROR "velmorant_version_resource(${target}) needs DESCRIPTION")
    endif()
    get_target_property(type ${target} TYPE)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    if(type STREQUAL "EXECUTABLE")
        set(VELMORANT_RC_FILENAME ${name}.exe)
        set(VELMORANT_RC_FILETYPE 0x1)  # VFT_APP
    else()
        set(VELMORANT_RC_FILENAME ${name}.dll)
        set(VELMORANT_RC_FILETYPE 0x2)  # VFT_DLL
    endif()
    set(VELMORANT_RC_INTERNAL ${name})
    set(VELMORANT_RC_DESCRIPTION "${arg_DESCRIPTION}")
    set(VELMORANT_RC_NUMERIC "${VELMORANT_VERSION_MAJOR},${VELMORANT_VERSION_MINOR},${VELMORANT_VERSION_PATCH},0")
    set(rc ${CMAKE_BINARY_DIR}/version/${target}.rc)
    configure_file(${VELMORANT_VERSION_DIR}/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
