# cmake -DBUILD_DIR=... -DCONSUMER_DIR=... -DWORK_DIR=... [-DGENERATOR=...] [-DLAUNCHER=...]
#   -P RunPackageTest.cmake
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  message(STATUS "${what}: ok")
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# what the package must not carry
file(GLOB_RECURSE unwanted ${prefix}/include/*_p.h ${prefix}/include/ttbrowse/host/market/*
  ${prefix}/lib*/libttmarket*)
if(unwanted)
  message(FATAL_ERROR "installed but private: ${unwanted}")
endif()

set(configure ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
if(GENERATOR)
  list(APPEND configure -G ${GENERATOR})
endif()
if(LAUNCHER)
  list(APPEND configure -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
run("configure the consumer" ${configure})
run("build the consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)

# the installed libraries find their data without help from the environment
unset(ENV{TT_DATA_DIR})
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{TT_USER_DIR} ${WORK_DIR}/user)
run("run the consumer" ${WORK_DIR}/build/tt_consumer ${prefix})
message(STATUS "${last_output}")
