# cmake -DNM=<nm> -DMODULE=<module.so> -P CheckModuleExports.cmake
# Fails unless the module's dynamic symbol table defines exactly the VST 3
# entry points: any other exported symbol could bind to another module's or
# the host's copy of the same code.
execute_process(COMMAND "${NM}" -D --defined-only "${MODULE}"
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm failed on ${MODULE}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(found "")
foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] (.+)$")
        list(APPEND found "${CMAKE_MATCH_1}")
    endif()
endforeach()
list(SORT found)
set(expected ExitDll GetPluginFactory InitDll ModuleEntry ModuleExit)
if(NOT found STREQUAL expected)
    message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
message(STATUS "exports: ${found}")
