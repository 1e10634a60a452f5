function(run step)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${step} failed (${result}):\n${out}\n${err}")
    endif()
    message(STATUS "${step}: ok")
endfunction()

file(REMOVE_RECURSE ${KAV_PREFIX} ${CONSUMER_BUILD_DIR})
run("install" ${CMAKE_COMMAND} --install ${KAV_BUILD_DIR} --prefix ${KAV_PREFIX})
# Private headers stay in the source tree: an outside project must never come to rely on them.
file(GLOB_RECURSE private_headers ${KAV_PREFIX}/include/*_p.h)
if(private_headers)
    message(FATAL_ERROR "private headers installed: ${private_headers}")
endif()
run("configure" ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE_DIR} -B ${CONSUMER_BUILD_DIR}
    -G ${CONSUMER_GENERATOR}
    -DCMAKE_PREFIX_PATH=${KAV_PREFIX}
    -DCMAKE_CXX_FLAGS=${CONSUMER_CXX_FLAGS})
run("build" ${CMAKE_COMMAND} --build ${CONSUMER_BUILD_DIR})
run("run" ${CONSUMER_BUILD_DIR}/kavconsumer ${CONSUMER_BUILD_DIR}/procedure.json)
