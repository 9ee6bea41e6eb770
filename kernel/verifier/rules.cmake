# The tag rules: the verifier object, its run order and the rules of the
# FrameMaker tag vocabulary.
list(APPEND KERNEL_SOURCES
  verifier/VarnelMessages.cpp
  verifier/VarnelVerifier.cpp
  verifier/FrameVarnelVerifier.cpp
  verifier/TagStructureCheck.cpp
  verifier/MarkerTextMeasure.cpp
)
