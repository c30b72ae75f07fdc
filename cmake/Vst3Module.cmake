# lumaro_add_vst3_module(<target> NAME "<Bundle Name>" SOURCES <files...> [LIBS <targets...>]
#                        [NO_INSTALL])
#
# Builds a Linux VST 3 bundle:
#   <build>/<Bundle Name>.vst3/Contents/x86_64-linux/<Bundle Name>.so
# The module exports only the VST 3 entry points (GetPluginFactory,
# ModuleEntry, ModuleExit, InitDll, ExitDll); everything else is hidden by
# -fvisibility=hidden and a linker version script, so that two modules, or a
# module and its host, never bind to each other's copies of the SDK.
# The plug-in's sources must define plugin::vst3::MakePluginFactory().
# The bundle is installed in the layouts of cmake/InstallLayout.cmake unless
# NO_INSTALL is given: test modules have no place in anyone's plug-in folder.
#
# The bundle directory is stored in the target property LUMARO_VST3_BUNDLE.

function(lumaro_add_vst3_module target)
    cmake_parse_arguments(M "NO_INSTALL" "NAME" "SOURCES;LIBS" ${ARGN})
    if(NOT M_NAME)
        message(FATAL_ERROR "lumaro_add_vst3_module(${target}): NAME is required")
    endif()
    set(bundle "${CMAKE_BINARY_DIR}/${M_NAME}.vst3")
    set(architecture x86_64-linux)
    # Resolved here: the caller's directory scope does not see variables set
    # where this file was included.
    set(entry_source "${PROJECT_SOURCE_DIR}/plugin/vst3/ModuleEntry.cpp")
    set(exports_map "${PROJECT_SOURCE_DIR}/plugin/vst3/ModuleExports.map")

    add_library(${target} MODULE ${M_SOURCES} ${entry_source})
    target_link_libraries(${target} PRIVATE lumaro_vst3_base ${M_LIBS} ${CMAKE_DL_LIBS})
    target_link_options(${target} PRIVATE
        "LINKER:--version-script=${exports_map}")
    if(LUMARO_SANITIZE STREQUAL "")
        # A module with unresolved symbols would only fail in the host.
        target_link_options(${target} PRIVATE "LINKER:-z,defs")
    endif()
    set_target_properties(${target} PROPERTIES
        PREFIX ""
        OUTPUT_NAME "${M_NAME}"
        SUFFIX ".so"
        LIBRARY_OUTPUT_DIRECTORY "${bundle}/Contents/${architecture}"
        CXX_VISIBILITY_PRESET hidden
        C_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        LINK_DEPENDS "${exports_map}"
        LUMARO_VST3_BUNDLE "${bundle}")

    if(NOT M_NO_INSTALL)
        lumaro_install_bundle(${target} "${M_NAME}" ${architecture})
    endif()
endfunction()
