# Back conversion: the KWX reader, and the back converter. Each piece keeps
# its own list.
foreach(piece reader convert)
  if(EXISTS "${CMAKE_CURRENT_LIST_DIR}/${piece}.cmake")
    include(${CMAKE_CURRENT_LIST_DIR}/${piece}.cmake)
  endif()
endforeach()
