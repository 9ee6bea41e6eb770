# The comparison of source and translated tags, the verification report
# and the whole verifier runs.
list(APPEND KERNEL_SOURCES
  verifier/VarnelComparison.cpp
  verifier/VarnelReport.cpp
  verifier/VarnelVerification.cpp
)
