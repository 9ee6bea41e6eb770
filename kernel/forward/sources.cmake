# Forward conversion: KWX format, text conversion, MIF reading, conversion,
# writers. Each piece keeps its own list.
foreach(piece kwx text mif convert writers)
  if(EXISTS "${CMAKE_CURRENT_LIST_DIR}/${piece}.cmake")
    include(${CMAKE_CURRENT_LIST_DIR}/${piece}.cmake)
  endif()
endforeach()
