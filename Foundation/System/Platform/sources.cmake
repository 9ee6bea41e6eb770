list(APPEND FOUNDATION_SOURCES
  System/Platform/Registry.cpp
  System/Platform/WindowServices.cpp
  System/Platform/FileSystem.cpp
  System/Platform/LocalTime.cpp
  System/Platform/FileException.cpp
  System/Platform/TemporaryFile.cpp
  System/Platform/LargeMemory.cpp
  System/Platform/WholeFile.cpp
)
