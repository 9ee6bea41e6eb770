# The XLIFF bridge: KWX files to XLIFF 1.2 documents and back.
list(APPEND KERNEL_SOURCES
  xliff/XLIFFBridge.cpp
)
