# Forward conversion of MIF files into KWX: the file-level steps, the list
# converter, post-processing and marker text conversion.
list(APPEND KERNEL_SOURCES
  forward/MarkerTextConverter.cpp
  forward/KWXPostProcessor.cpp
  forward/MIFToKWXListConverter.cpp
  forward/MIFToKWXConverter.cpp
)
