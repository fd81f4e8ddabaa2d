# Fails when the library given as LIBRARY refers to any heap allocation
# function: malloc and friends, or the C++ operators new and delete.
execute_process(COMMAND ${NM} -u -C ${LIBRARY}
  OUTPUT_VARIABLE undefined RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]*(malloc|calloc|realloc|aligned_alloc|posix_memalign|operator new|operator delete|free)[^\n]*"
       hits "${undefined}")
if(hits)
  message(FATAL_ERROR "the counting core refers to heap allocation:\n${hits}")
endif()
message(STATUS "no allocation symbols in ${LIBRARY}")
