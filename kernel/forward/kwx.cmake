# KWX format definitions: vocabulary, header, line rule and tag tables.
list(APPEND KERNEL_SOURCES
  forward/KWXFormat.cpp
  forward/KWXTagTables.cpp
  forward/KWXPieceList.cpp
)
