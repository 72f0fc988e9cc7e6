# Fails when a lower layer reaches into a higher one:
#  - core and engine include no widget headers, no generated forms and nothing from panel/app/widgets;
#  - core includes nothing from the engine;
#  - cloud (core and Qt Network) includes no widget header, no engine and no layer above it;
#  - diagnostics includes no widget header and no layer above the engine and the cloud;
#  - messaging (engine and core) includes no widget header and no layer above the engine;
#  - panel includes none of the window targets above it nor app, and no window target includes
#    app or another window target;
#  - the cloud simulator (tools/cloudsim) takes nothing from src but the cloud contract;
#  - liblinphone headers appear only inside the engine, and no one outside includes an engine
#    header that uses them.
# Run: cmake -DSRC=<repo>/src -P layering.cmake
set(violations "")

function(check_dir dir pattern what)
    file(GLOB_RECURSE files ${SRC}/${dir}/*.h ${SRC}/${dir}/*.cpp)
    foreach(f ${files})
        file(STRINGS ${f} lines REGEX "${pattern}")
        foreach(l ${lines})
            string(APPEND violations "${f}: ${what}: ${l}\n")
        endforeach()
    endforeach()
    set(violations "${violations}" PARENT_SCOPE)
endfunction()

set(widgetish "#include [<\"](QtWidgets|QWidget|QDialog|QMainWindow|QLabel|QMessageBox|QApplication|ui_)")
set(higher "#include \"(panel|app|widgets|settingsui|cloudui|cloud|messaging|messagingui|diagnosticsui|diagnostics|callui|transferui)/")
check_dir(core "${widgetish}" "widget header in core")
check_dir(engine "${widgetish}" "widget header in engine")
check_dir(core "${higher}" "higher layer included from core")
check_dir(engine "${higher}" "higher layer included from engine")
check_dir(core "#include \"engine/" "engine included from core")
check_dir(cloud "${widgetish}" "widget header in cloud")
check_dir(cloud "#include \"(engine|panel|app|widgets|settingsui|cloudui|messaging|messagingui|diagnosticsui|diagnostics)/" "engine or higher layer included from cloud")
check_dir(diagnostics "${widgetish}" "widget header in diagnostics")
check_dir(diagnostics "#include \"(panel|app|widgets|settingsui|cloudui|messaging|messagingui|diagnosticsui)/" "higher layer included from diagnostics")
check_dir(messaging "${widgetish}" "widget header in messaging")
check_dir(messaging "#include \"(panel|app|widgets|settingsui|cloudui|cloud|messagingui|diagnosticsui|diagnostics)/" "higher layer included from messaging")
# The panel opens the windows above it through interfaces it owns; it never includes them.
set(window_targets settingsui cloudui diagnosticsui messagingui callui transferui)
string(REPLACE ";" "|" _windows "${window_targets}")
check_dir(panel "#include \"(app|${_windows})/" "window target included from panel")
foreach(target ${window_targets})
    set(_others ${window_targets})
    list(REMOVE_ITEM _others ${target})
    string(REPLACE ";" "|" _siblings "app;${_others}")
    check_dir(${target} "#include \"(${_siblings})/" "app or sibling window target included from ${target}")
endforeach()

# The simulator shares the contract with the client and nothing else, so it cannot lean on the
# client's own logic and agree with a fault of it.
file(GLOB cloudsim_files ${SRC}/../tools/cloudsim/*.h ${SRC}/../tools/cloudsim/*.cpp)
foreach(f ${cloudsim_files})
    file(STRINGS ${f} lines REGEX "#include \"(core|engine|cloud|panel|app|widgets|settingsui|messaging|diagnostics)/")
    foreach(l ${lines})
        if(NOT l MATCHES "#include \"cloud/contract.h\"")
            string(APPEND violations "${f}: cloudsim includes more than the contract: ${l}\n")
        endif()
    endforeach()
endforeach()

# liblinphone stays inside the engine: no file outside src/engine includes it, nor includes an
# engine header that does.
set(sip_headers "")
file(GLOB_RECURSE engine_files ${SRC}/engine/*.h)
foreach(f ${engine_files})
    file(STRINGS ${f} lines REGEX "#include <(linphone|mediastreamer2|bctoolbox|ortp|belle-sip)/")
    if(lines)
        file(RELATIVE_PATH rel ${SRC} ${f})
        list(APPEND sip_headers ${rel})
    endif()
endforeach()
file(GLOB_RECURSE outside ${SRC}/*.h ${SRC}/*.cpp)
foreach(f ${outside})
    if(f MATCHES "^${SRC}/engine/")
        continue()
    endif()
    file(STRINGS ${f} lines REGEX "#include <(linphone|mediastreamer2|bctoolbox|ortp|belle-sip)/")
    foreach(l ${lines})
        string(APPEND violations "${f}: SIP library used outside the engine: ${l}\n")
    endforeach()
    foreach(h ${sip_headers})
        file(STRINGS ${f} lines REGEX "#include \"${h}\"")
        foreach(l ${lines})
            string(APPEND violations "${f}: includes an engine-private header: ${l}\n")
        endforeach()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "Layering violations:\n${violations}")
endif()
message(STATUS "layering: clean")
