# How the C and C++ runtimes reach each binary.
#
# x86_64: linked statically; every binary stands alone. Each DLL then owns a
# copy of the C++ runtime and hands back its emergency exception block when
# it unloads (runtime/StaticRuntimeRelease.cpp), so loading it again and
# again costs no memory.
#
# i686: exceptions must cross between the plug-in and the engine module (a
# stream error thrown in the plug-in is caught in the engine). With libgcc
# linked statically into two modules each has its own DWARF unwinder and such
# an exception terminates the process, so i686 binaries share the GCC runtime
# DLLs. A host loads the plug-in with plain LoadLibrary, which looks for
# dependencies beside the DLL only through a private assembly: every i686
# binary embeds a manifest naming the assembly Velmorant.Runtime, whose folder
# (the runtime DLLs and their manifest) is shipped beside the binaries.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VELMORANT_SHARED_RUNTIME OFF)
else()
    set(VELMORANT_SHARED_RUNTIME ON)
endif()

set(VELMORANT_RUNTIME_ASSEMBLY Velmorant.Runtime)
set(VELMORANT_OUTPUT_DIR ${CMAKE_BINARY_DIR}/bin)

if(VELMORANT_SHARED_RUNTIME)
    set(VELMORANT_RUNTIME_DLLS)
    foreach(dll libgcc_s_dw2-1.dll libstdc++-6.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT EXISTS "${path}")
            message(FATAL_ERROR "runtime DLL ${dll} not found (${path})")
        endif()
        list(APPEND VELMORANT_RUNTIME_DLLS ${path})
    endforeach()

    # The toolchain's DLLs carry their symbols and debug information (21 MB
    # for libstdc++); the assembly gets stripped copies, so every package
    # made from the build tree ships small ones. The assembly manifest names
    # the files without hashes, so stripping keeps it valid. A copy is made
    # again only when the toolchain's DLL is newer than it.
    set(assembly_dir ${VELMORANT_OUTPUT_DIR}/${VELMORANT_RUNTIME_ASSEMBLY})
    file(MAKE_DIRECTORY ${assembly_dir})
    if(NOT CMAKE_STRIP)
        message(FATAL_ERROR "no strip tool for the runtime DLLs (CMAKE_STRIP)")
    endif()
    foreach(dll ${VELMORANT_RUNTIME_DLLS})
        get_filename_component(dll_name ${dll} NAME)
        set(copy ${assembly_dir}/${dll_name})
        if(NOT EXISTS ${copy} OR ${dll} IS_NEWER_THAN ${copy})
            execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${copy} ${dll}
                            RESULT_VARIABLE strip_result)
            if(NOT strip_result EQUAL 0)
                file(REMOVE ${copy})
                message(FATAL_ERROR "stripping ${dll} into ${assembly_dir} failed")
            endif()
        endif()
    endforeach()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/runtime/assembly.manifest.in
                   ${assembly_dir}/${VELMORANT_RUNTIME_ASSEMBLY}.manifest @ONLY)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/runtime/dependency.manifest.in
                   ${CMAKE_BINARY_DIR}/runtime/dependency.manifest @ONLY)
    # Resource 1 is read for a process, resource 2 for a DLL; type 24 is
    # RT_MANIFEST. Written only when changed, so configuring again does not
    # relink every binary.
    file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/runtime/process-manifest.rc
         CONTENT "1 24 \"${CMAKE_BINARY_DIR}/runtime/dependency.manifest\"\n")
    file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/runtime/library-manifest.rc
         CONTENT "2 24 \"${CMAKE_BINARY_DIR}/runtime/dependency.manifest\"\n")
endif()

# Gives a binary its runtime arrangement and puts it in bin/.
function(velmorant_runtime target)
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${VELMORANT_OUTPUT_DIR}
        LIBRARY_OUTPUT_DIRECTORY ${VELMORANT_OUTPUT_DIR}
        PREFIX "")
    get_target_property(type ${target} TYPE)
    if(VELMORANT_SHARED_RUNTIME)
        target_link_options(${target} PRIVATE -shared-libgcc)
        if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
            target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/runtime/library-manifest.rc)
        else()
            target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/runtime/process-manifest.rc)
        endif()
    else()
        target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++ -static)
        if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
            target_sources(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/runtime/StaticRuntimeRelease.cpp)
        endif()
    endif()
endfunction()
