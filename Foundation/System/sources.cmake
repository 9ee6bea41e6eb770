# Foundation library: buffers, strings and code-page conversion, the error
# manager, type records, the listener base class and start-up hooks.
list(APPEND FOUNDATION_SOURCES
  System/String/Buffer.cpp
  System/String/VoidArray.cpp
  System/String/String.cpp
  System/String/CString.cpp
  System/String/UString.cpp
  System/String/Formatting.cpp
  System/String/LoadString.cpp
  System/String/StringConvert/CodePages.cpp
  System/String/StringConvert/StringConvert.cpp
  System/String/StringConvert/UTF.cpp
  System/String/StringConvert/UTFEngine.cpp
  System/ErrorManager/ErrorManager.cpp
  System/Type.cpp
  System/Forum.cpp
  System/Init.cpp
  System/OS.cpp
)
