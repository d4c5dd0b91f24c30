# Runs make_title twice and checks that both pictures have 1024 x 1024 x 3 bytes and are equal.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
foreach(run a b)
    execute_process(
        COMMAND ${MAKE_TITLE} --regular ${REGULAR} --bold ${BOLD} --mono ${MONO}
                --out ${WORK_DIR}/${run}.raw
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "make_title failed: ${status}")
    endif()
    file(SIZE ${WORK_DIR}/${run}.raw size)
    if(NOT size EQUAL 3145728)
        message(FATAL_ERROR "${run}.raw holds ${size} bytes, not 3145728")
    endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/a.raw ${WORK_DIR}/b.raw
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
    message(FATAL_ERROR "two runs of make_title gave different pictures")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
