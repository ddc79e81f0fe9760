# Install rules and CPack's ZIP packages. Each component installs into a
# folder named like its package, so a package holds that one folder:
#   plugin   Velmorant-<version>-<win32|win64>/: the stripped plug-in, engine,
#            both engine host programs (the other architecture's from the peer
#            build tree) and command-line host, the i686 runtime assembly (for
#            the 32-bit engine host on win64 too), the factory presets,
#            README.txt and LICENSE.txt
#   symbols  Velmorant-<version>-<win32|win64>-symbols/: the same binaries
#            as linked, with their symbols and debug information
#   sdk      Velmorant-<version>-sdk/: include/, the engine guide, the example
#            engine, the toolchain files the example builds with, LICENSE.txt
# scripts/package builds, stages and packs these; `cpack` in a build tree
# makes the same three ZIP files.
if(NOT TARGET Velmorant OR NOT TARGET VelmorantEngine OR NOT TARGET velmorant-host OR NOT TARGET VelmorantEngineHost)
    return()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VELMORANT_PACKAGE_ARCH win64)
else()
    set(VELMORANT_PACKAGE_ARCH win32)
endif()
set(VELMORANT_PACKAGE_NAME Velmorant-${VELMORANT_VERSION}-${VELMORANT_PACKAGE_ARCH})
set(VELMORANT_SDK_NAME Velmorant-${VELMORANT_VERSION}-sdk)

# Stripped copies of the shipped binaries in release/: no symbols, no debug
# sections, nothing of the build machine's paths that debug information holds.
set(release_dir ${CMAKE_BINARY_DIR}/release)
set(release_binaries)
foreach(target Velmorant VelmorantEngine velmorant-host VelmorantEngineHost)
    get_target_property(type ${target} TYPE)
    get_target_property(output_name ${target} OUTPUT_NAME)
    if(NOT output_name)
        set(output_name ${target})
    endif()
    if(type STREQUAL "EXECUTABLE")
        set(file ${release_dir}/${output_name}.exe)
    else()
        set(file ${release_dir}/${output_name}.dll)
    endif()
    add_custom_command(OUTPUT ${file}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${release_dir}
                       COMMAND ${CMAKE_STRIP} --strip-all -o ${file} $<TARGET_FILE:${target}>
                       DEPENDS ${target} VERBATIM)
    list(APPEND release_binaries ${file})
endforeach()
add_custom_target(velmorant_release_binaries ALL DEPENDS ${release_binaries})

# The texts with Windows line endings.
set(texts_dir ${CMAKE_BINARY_DIR}/packaging)
configure_file(${CMAKE_SOURCE_DIR}/packaging/README.txt ${texts_dir}/README.txt.lf @ONLY)
foreach(text README.txt LICENSE.txt)
    if(text STREQUAL "README.txt")
        file(READ ${texts_dir}/README.txt.lf content)
    else()
        file(READ ${CMAKE_SOURCE_DIR}/LICENSE.txt content)
    endif()
    string(REPLACE "\r\n" "\n" content "${content}")
    file(CONFIGURE OUTPUT ${texts_dir}/${text} CONTENT "${content}" @ONLY NEWLINE_STYLE DOS)
endforeach()

set(files_mode OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(programs_mode OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(PROGRAMS ${release_binaries} DESTINATION ${VELMORANT_PACKAGE_NAME} COMPONENT plugin
        PERMISSIONS ${programs_mode})
if(VELMORANT_SHARED_RUNTIME)
    install(DIRECTORY ${VELMORANT_OUTPUT_DIR}/${VELMORANT_RUNTIME_ASSEMBLY}
            DESTINATION ${VELMORANT_PACKAGE_NAME} COMPONENT plugin
            FILE_PERMISSIONS ${files_mode})
endif()

# The other architecture's engine host, stripped in its own build tree, so
# that this plug-in runs engines of either architecture; on win64 with the
# i686 runtime assembly it loads. A package without them is no release.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(peer_host VelmorantEngineHost32.exe)
else()
    set(peer_host VelmorantEngineHost64.exe)
endif()
set(peer_release ${VELMORANT_PEER_BUILD}/release/${peer_host})
set(peer_runtime ${VELMORANT_PEER_BUILD}/bin/${VELMORANT_RUNTIME_ASSEMBLY})
install(CODE "if(NOT EXISTS \"${peer_release}\")
    message(FATAL_ERROR \"no ${peer_release}: build the other architecture (scripts/package builds both)\")
endif()" COMPONENT plugin)
install(PROGRAMS ${peer_release} DESTINATION ${VELMORANT_PACKAGE_NAME} COMPONENT plugin PERMISSIONS ${programs_mode})
if(NOT VELMORANT_SHARED_RUNTIME)
    install(DIRECTORY ${peer_runtime} DESTINATION ${VELMORANT_PACKAGE_NAME} COMPONENT plugin
            FILE_PERMISSIONS ${files_mode})
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/engine/presets/ DESTINATION ${VELMORANT_PACKAGE_NAME}/Presets
        COMPONENT plugin FILE_PERMISSIONS ${files_mode} FILES_MATCHING PATTERN "*.fxp")
install(FILES ${texts_dir}/README.txt ${texts_dir}/LICENSE.txt DESTINATION ${VELMORANT_PACKAGE_NAME}
        COMPONENT plugin PERMISSIONS ${files_mode})

install(PROGRAMS $<TARGET_FILE:Velmorant> $<TARGET_FILE:VelmorantEngine> $<TARGET_FILE:velmorant-host>
                 $<TARGET_FILE:VelmorantEngineHost>
        DESTINATION ${VELMORANT_PACKAGE_NAME}-symbols COMPONENT symbols PERMISSIONS ${programs_mode})

install(DIRECTORY ${CMAKE_SOURCE_DIR}/include DESTINATION ${VELMORANT_SDK_NAME} COMPONENT sdk
        FILE_PERMISSIONS ${files_mode})
install(FILES ${CMAKE_SOURCE_DIR}/docs/engine-guide.md DESTINATION ${VELMORANT_SDK_NAME}/docs COMPONENT sdk
        PERMISSIONS ${files_mode})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/minimal-engine DESTINATION ${VELMORANT_SDK_NAME}/examples
        COMPONENT sdk FILE_PERMISSIONS ${files_mode})
install(FILES ${CMAKE_SOURCE_DIR}/cmake/toolchain-i686-w64-mingw32.cmake
              ${CMAKE_SOURCE_DIR}/cmake/toolchain-x86_64-w64-mingw32.cmake
        DESTINATION ${VELMORANT_SDK_NAME}/cmake COMPONENT sdk PERMISSIONS ${files_mode})
install(FILES ${texts_dir}/LICENSE.txt DESTINATION ${VELMORANT_SDK_NAME} COMPONENT sdk
        PERMISSIONS ${files_mode})

# One ZIP per component, named like the folder it holds. CPack's archives
# take every file's time from SOURCE_DATE_EPOCH when it is set (scripts/package
# sets it to the commit's time).
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Velmorant)
set(CPACK_PACKAGE_VENDOR Korvanta)
set(CPACK_PACKAGE_VERSION ${VELMORANT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${VELMORANT_PACKAGE_NAME})
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)
set(CPACK_COMPONENTS_ALL plugin symbols sdk)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_PLUGIN_FILE_NAME ${VELMORANT_PACKAGE_NAME})
set(CPACK_ARCHIVE_SYMBOLS_FILE_NAME ${VELMORANT_PACKAGE_NAME}-symbols)
set(CPACK_ARCHIVE_SDK_FILE_NAME ${VELMORANT_SDK_NAME})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES OFF)
include(CPack)
