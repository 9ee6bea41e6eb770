# RTF and text writers of KWX files and report lines.
list(APPEND KERNEL_SOURCES
  forward/KWXFileWriter.cpp
  forward/KWXTextWriter.cpp
  forward/KWXRTFWriter.cpp
  forward/ReportLineWriter.cpp
)
