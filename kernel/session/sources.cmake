list(APPEND KERNEL_SOURCES
  KernelConverterFactory.cpp
  session/AncillaryFile.cpp
  session/BatchDrivers.cpp
  session/ChangeBarsOffBatch.cpp
  session/Communication.cpp
  session/CommunicationFrame.cpp
  session/CommunicationVerifierF.cpp
  session/ErrorReporting.cpp
  session/ExtStringList.cpp
  session/KernelStrings.cpp
  session/Languages.cpp
  session/ParallelBatch.cpp
)
