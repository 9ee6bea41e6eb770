# The tag verifier. Each piece keeps its own list.
foreach(piece rules report)
  if(EXISTS "${CMAKE_CURRENT_LIST_DIR}/${piece}.cmake")
    include(${CMAKE_CURRENT_LIST_DIR}/${piece}.cmake)
  endif()
endforeach()
