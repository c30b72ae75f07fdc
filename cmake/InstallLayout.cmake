# Where the product goes: the plug-in bundle (lumaro_add_vst3_module without
# NO_INSTALL) and lumaro-render. Two layouts, each an install component:
#
#   system  <prefix>/lib/vst3 and <prefix>/bin, the folders Linux hosts scan
#           system-wide: `cmake --install` (prefix /usr/local by default),
#           `make install PREFIX=...` and the Debian package (prefix /usr).
#   user    .vst3 and .local/bin under the prefix, installed with the home
#           folder as prefix (`make install`): ~/.vst3, which every Linux host
#           scans, needs no root.
#
# The user layout is left out of a plain `cmake --install`; ask for it with
# --component user. The `docs` component (licences of what the binaries
# embed) goes into the package only.
set(LUMARO_VST3_SYSTEM_DIR "lib/vst3")
set(LUMARO_BIN_SYSTEM_DIR "bin")
set(LUMARO_VST3_USER_DIR ".vst3")
set(LUMARO_BIN_USER_DIR ".local/bin")
set(LUMARO_DOC_DIR "share/doc/lumaro-eq")

# [configure] A module target of lumaro_add_vst3_module, as the bundle
# <name>.vst3/Contents/<architecture>/<name>.so, into both layouts. The
# library is installed as a target, so that packaging strips it; a bundle
# that grows other contents needs rules for them here.
function(lumaro_install_bundle target name architecture)
    set(inside "${name}.vst3/Contents/${architecture}")
    install(TARGETS ${target} LIBRARY DESTINATION "${LUMARO_VST3_SYSTEM_DIR}/${inside}"
            COMPONENT system)
    install(TARGETS ${target} LIBRARY DESTINATION "${LUMARO_VST3_USER_DIR}/${inside}"
            COMPONENT user EXCLUDE_FROM_ALL)
endfunction()

# [configure] An executable target, into both layouts.
function(lumaro_install_program target)
    install(TARGETS ${target} RUNTIME DESTINATION "${LUMARO_BIN_SYSTEM_DIR}" COMPONENT system)
    install(TARGETS ${target} RUNTIME DESTINATION "${LUMARO_BIN_USER_DIR}"
            COMPONENT user EXCLUDE_FROM_ALL)
endfunction()
