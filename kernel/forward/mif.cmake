# MIF reading and pre-scan.
list(APPEND KERNEL_SOURCES
  forward/MIFSyntax.cpp
  forward/MIFLineStore.cpp
  forward/MIFLineReader.cpp
  forward/MIFFileCheck.cpp
  forward/ChangeBarClearing.cpp
  forward/ChangeBarsOffCopies.cpp
  forward/MIF7TextCheck.cpp
  forward/MIFUnicode.cpp
  forward/MIFPreScan.cpp
  forward/MIFPreScanPages.cpp
  forward/MIFPreScanDump.cpp
  session/FindMIFObjects.cpp
)
