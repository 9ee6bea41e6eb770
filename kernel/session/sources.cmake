list(APPEND KERNEL_SOURCES
  session/Communication.cpp
  session/CommunicationFrame.cpp
  session/CommunicationVerifierF.cpp
  session/BatchDrivers.cpp
  session/ErrorReporting.cpp
  session/Languages.cpp
  session/KernelStrings.cpp
  session/ExtStringList.cpp
)
