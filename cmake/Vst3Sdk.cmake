# The VST 3 SDK as static libraries, built from the sources under VST3_SDK_DIR.
#
#   lumaro_vst3sdk          pluginterfaces, base and the plug-in side of public.sdk
#   lumaro_vst3sdk_hosting  the SDK's host helper classes (messages, attribute lists)
#
# The SDK is third-party code written for C++17: it is compiled as such, with its
# warnings silenced, and its headers are SYSTEM includes so that our own
# -Wall -Wextra -Wpedantic build stays clean when it includes them.

if(NOT EXISTS "${VST3_SDK_DIR}/pluginterfaces/base/funknown.h")
    message(FATAL_ERROR "VST3_SDK_DIR (${VST3_SDK_DIR}) does not hold the VST 3 SDK; "
                        "run scripts/install-deps or point VST3_SDK_DIR at a copy")
endif()

file(GLOB LUMARO_VST3SDK_SOURCES CONFIGURE_DEPENDS
    "${VST3_SDK_DIR}/pluginterfaces/base/*.cpp"
    "${VST3_SDK_DIR}/base/source/*.cpp"
    "${VST3_SDK_DIR}/public.sdk/source/common/*.cpp"
    "${VST3_SDK_DIR}/public.sdk/source/vst/*.cpp")
list(APPEND LUMARO_VST3SDK_SOURCES
    "${VST3_SDK_DIR}/base/thread/source/flock.cpp"
    # Interface IDs that the SDK declares but whose definitions live in files
    # this copy of the SDK does not ship (the GUI and Linux run-loop ones).
    "${PROJECT_SOURCE_DIR}/plugin/vst3/SdkInterfaceIds.cpp")

add_library(lumaro_vst3sdk STATIC ${LUMARO_VST3SDK_SOURCES})
target_include_directories(lumaro_vst3sdk SYSTEM PUBLIC "${VST3_SDK_DIR}")
# fdebug.h insists on one of DEVELOPMENT / RELEASE; only a Debug build gets the
# SDK's assertions and debug output.
target_compile_definitions(lumaro_vst3sdk PUBLIC
    $<IF:$<CONFIG:Debug>,DEVELOPMENT=1,RELEASE=1>)
target_compile_options(lumaro_vst3sdk PRIVATE -w)
set_target_properties(lumaro_vst3sdk PROPERTIES
    CXX_STANDARD 17
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(lumaro_vst3sdk PUBLIC Threads::Threads)

file(GLOB LUMARO_VST3SDK_HOSTING_SOURCES CONFIGURE_DEPENDS
    "${VST3_SDK_DIR}/public.sdk/source/vst/hosting/*.cpp")
add_library(lumaro_vst3sdk_hosting STATIC ${LUMARO_VST3SDK_HOSTING_SOURCES})
target_compile_options(lumaro_vst3sdk_hosting PRIVATE -w)
set_target_properties(lumaro_vst3sdk_hosting PROPERTIES CXX_STANDARD 17)
target_link_libraries(lumaro_vst3sdk_hosting PUBLIC lumaro_vst3sdk)
