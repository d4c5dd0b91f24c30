# Runs web/check_emscripten.cmake on a copy of the library sources it reads from the installed
# Emscripten (EMSCRIPTEN_ROOT): as they are it passes in silence; with a member taken out of
# three files it stops and names those three and no other; an older version stops, a newer one
# warns.
file(REMOVE_RECURSE ${WORK_DIR})
foreach(file src/library_glut.js src/library_browser.js src/library.js src/parseTools.js
             src/preamble.js src/postamble.js src/shell.js)
    get_filename_component(dir ${WORK_DIR}/${file} DIRECTORY)
    file(COPY ${EMSCRIPTEN_ROOT}/${file} DESTINATION ${dir})
endforeach()

# check(VERSION EXPECT PATTERN...): runs the check with VERSION written as the version, expects
# it to pass (EXPECT "passes") or stop ("stops"), and every PATTERN in its output.
function(check version expect)
    file(WRITE ${WORK_DIR}/emscripten-version.txt "${version}\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -DEMSCRIPTEN_ROOT=${WORK_DIR} -P ${CHECK}
                    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    string(REGEX REPLACE "[ \n]+" " " output "${output}")  # the message is wrapped
    if(expect STREQUAL "passes" AND NOT status EQUAL 0 OR
       expect STREQUAL "stops" AND status EQUAL 0)
        message(FATAL_ERROR "version ${version}: the check should have ${expect}: ${output}")
    endif()
    foreach(pattern ${ARGN})
        if(NOT output MATCHES "${pattern}")
            message(FATAL_ERROR "version ${version}: no '${pattern}' in: ${output}")
        endif()
    endforeach()
    set(output "${output}" PARENT_SCOPE)
endfunction()

# edit(FILE FROM TO): replaces the text FROM, which must be there, in the copy of FILE.
function(edit file from to)
    file(READ ${WORK_DIR}/${file} text)
    string(FIND "${text}" "${from}" at)
    if(at LESS 0)
        message(FATAL_ERROR "no '${from}' in ${EMSCRIPTEN_ROOT}/${file}")
    endif()
    string(REPLACE "${from}" "${to}" text "${text}")
    file(WRITE ${WORK_DIR}/${file} "${text}")
endfunction()

check(3.1.6 passes)
if(NOT output STREQUAL "")
    message(FATAL_ERROR "the check said something for Emscripten 3.1.6: ${output}")
endif()
check(\"3.1.40\" passes "Warning" "Emscripten 3.1.40 is newer than 3.1.6")
check(3.1.5 stops "Emscripten 3.1.5 in [^ ]+ is older than 3.1.6")

edit(src/library_glut.js "GLUT.onMousemove, true" "GLUT.onMouseMove, true")
edit(src/library_browser.js "calculateMouseEvent: function" "mouseEvent: function")
edit(src/preamble.js "Module['HEAPF32'] =" "")
check(3.1.6 stops "lacks what the web shell"
      "glutInit's listener GLUT.onMousemove \\(src/library_glut.js\\)"
      "Browser.calculateMouseEvent \\(src/library_browser.js\\)"
      "Module.HEAPF32 \\(src/preamble.js\\) It is written for Emscripten 3.1.6")
string(REGEX MATCHALL "\\(src/[a-zA-Z_]+\\.js\\)" named "${output}")
list(LENGTH named count)
if(NOT count EQUAL 3)
    message(FATAL_ERROR "the check named ${count} members, not the 3 taken out: ${output}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
