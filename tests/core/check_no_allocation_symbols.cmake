# SPDX-License-Identifier: MIT
# Fails when an object file of the static library LIBRARY refers to any heap
# allocation function: malloc and friends, or the C++ operators new and
# delete. The one exception is error.cpp, home of the exception class that
# refused calls throw, whose deleting destructor refers to operator delete.
execute_process(COMMAND ${NM} -u -C ${LIBRARY}
  OUTPUT_VARIABLE undefined RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
# Whole symbol names only: sanitizer builds refer to helpers such as
# __asan_stack_malloc_2, which are not heap allocation.
string(REPLACE "\n" ";" lines "${undefined}")
set(hits "")
set(member "")
foreach(line IN LISTS lines)
  if(line MATCHES "^(.+\\.o(bj)?):$")
    set(member "${CMAKE_MATCH_1}")
    continue()
  endif()
  if(member MATCHES "(^|[/\\\\])error\\.cpp\\.o(bj)?$")
    continue()
  endif()
  string(REGEX REPLACE "^[ \t]*U[ \t]+" "" symbol "${line}")
  if(symbol MATCHES "^(malloc|calloc|realloc|aligned_alloc|posix_memalign|free|operator new|operator delete)([^A-Za-z0-9_]|$)")
    string(APPEND hits "  ${member}: ${symbol}\n")
  endif()
endforeach()
if(hits)
  message(FATAL_ERROR "the counting core refers to heap allocation:\n${hits}")
endif()
message(STATUS "no allocation symbols in ${LIBRARY}")
