# What the web shell takes from inside Emscripten, checked before anything is built.
#
# web/glut_events.js replaces and calls members of Emscripten's GLUT and Browser libraries and of
# its runtime, and the page's scripts read a few of the runtime's own Module properties; none of
# them is an interface Emscripten documents or keeps. They are written for Emscripten 3.1.6
# (Debian 12's). creatures_check_emscripten(ROOT) reads the library sources of the Emscripten in
# ROOT (the toolchain's EMSCRIPTEN_ROOT_PATH) and stops the configuration with a message that
# names what is missing: every member below, in the file it is looked for in. An Emscripten older
# than 3.1.6 stops it too; a newer one that has every member gets a warning, as its members may
# behave otherwise (the browser tests tell: tools/web test).
#
# Also a script: cmake -DEMSCRIPTEN_ROOT=ROOT -P web/check_emscripten.cmake

set(CREATURES_EMSCRIPTEN_VERSION 3.1.6)

# creatures_emscripten_need(FILE PATTERN NAME): NAME is missing unless the regular expression
# PATTERN matches somewhere in root/FILE (root: the caller's); appends "NAME (FILE)" to the
# caller's list missing.
function(creatures_emscripten_need file pattern name)
    set(text "")
    if(EXISTS "${root}/${file}")
        file(READ "${root}/${file}" text)
    endif()
    if(NOT text MATCHES "${pattern}")
        list(APPEND missing "${name} (${file})")
        set(missing "${missing}" PARENT_SCOPE)
    endif()
endfunction()

# A member of a library object, on a line of its own: "name: function(event) {", "name: 0," or
# the shorthand "name(event) {".
function(creatures_emscripten_member_pattern out name)
    set(${out} "\n[ \t]*${name} *(:|\\([^)]*\\) *{)" PARENT_SCOPE)
endfunction()

function(creatures_check_emscripten root)
    set(version_file "${root}/emscripten-version.txt")
    if(NOT EXISTS "${version_file}")
        message(FATAL_ERROR "No Emscripten version in ${version_file}: the web shell is written "
                            "for Emscripten ${CREATURES_EMSCRIPTEN_VERSION}")
    endif()
    file(READ "${version_file}" version)
    string(REGEX REPLACE "[\" \t\r\n]" "" version "${version}")
    if(version VERSION_LESS CREATURES_EMSCRIPTEN_VERSION)
        message(FATAL_ERROR "Emscripten ${version} in ${root} is older than "
                            "${CREATURES_EMSCRIPTEN_VERSION}, which the web shell "
                            "(web/glut_events.js) is written for")
    endif()

    set(missing "")
    set(glut src/library_glut.js)
    # The handlers glut_events.js puts in place of GLUT's own (or wraps): glutInit must look each
    # up by its name when it registers it, which it does after glut_events.js has run.
    foreach(handler onMousemove onMouseButtonDown onMouseButtonUp onMouseWheel onKeydown onKeyup
                    touchHandler)
        creatures_emscripten_member_pattern(pattern ${handler})
        creatures_emscripten_need(${glut} "${pattern}" "GLUT.${handler}")
        creatures_emscripten_need(${glut} "addEventListener\\([^)]*GLUT\\.${handler}[,)]"
                                  "glutInit's listener GLUT.${handler}")
    endforeach()
    # What the handlers read and call: the pressed buttons, the program's callbacks, the helpers.
    foreach(member buttons motionFunc passiveMotionFunc mouseFunc keyboardFunc keyboardUpFunc
                   saveModifiers getASCIIKey)
        creatures_emscripten_member_pattern(pattern ${member})
        creatures_emscripten_need(${glut} "${pattern}" "GLUT.${member}")
    endforeach()
    # The pointer's position in the canvas's pixels and the wheel's steps.
    foreach(member mouseX mouseY calculateMouseEvent getMouseWheelDelta)
        creatures_emscripten_member_pattern(pattern ${member})
        creatures_emscripten_need(src/library_browser.js "${pattern}" "Browser.${member}")
    endforeach()
    # The program's callbacks are called through the function table, as GLUT calls them: the
    # runtime has getWasmTableEntry because GLUT's calls are written with it.
    creatures_emscripten_member_pattern(pattern "\\$getWasmTableEntry")
    creatures_emscripten_need(src/library.js "${pattern}" "getWasmTableEntry")
    creatures_emscripten_need(src/parseTools.js "getWasmTableEntry\\("
                              "makeDynCall's getWasmTableEntry")
    # The page's scripts: the program's memory (keyboard.js reads the creatures' marks), whether
    # the program has started, and the hook that hears the program's exit (page.js).
    creatures_emscripten_need(src/preamble.js "Module\\['HEAPF32'\\] *=" "Module.HEAPF32")
    creatures_emscripten_need(src/postamble.js "Module\\['calledRun'\\] *=" "Module.calledRun")
    creatures_emscripten_need(src/shell.js "makeModuleReceive\\('quit_', *'quit'\\)" "Module.quit")

    if(missing)
        list(JOIN missing "\n  " names)
        message(FATAL_ERROR "Emscripten ${version} in ${root} lacks what the web shell "
                            "(web/glut_events.js, web/page.js, web/keyboard.js) relies on:\n"
                            "  ${names}\nIt is written for Emscripten "
                            "${CREATURES_EMSCRIPTEN_VERSION}.")
    endif()
    if(version VERSION_GREATER CREATURES_EMSCRIPTEN_VERSION)
        message(WARNING "Emscripten ${version} is newer than ${CREATURES_EMSCRIPTEN_VERSION}, "
                        "which the web shell (web/glut_events.js) is written for: the members it "
                        "replaces and calls are there, but may work otherwise. The browser tests "
                        "(tools/web test) tell.")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
    creatures_check_emscripten("${EMSCRIPTEN_ROOT}")
endif()
