# Text and special-character conversion.
list(APPEND KERNEL_SOURCES
  forward/TextConverter.cpp
)
