# Back conversion: byte escaping, the tokens and blocks of a translated
# file, string and paragraph rebuilding, the MIF pass over the ORG copy,
# the file-level steps and the pseudo-translation.
list(APPEND KERNEL_SOURCES
  backward/MIFEscaping.cpp
  backward/KWXBlockCollector.cpp
  backward/MIFTextWriter.cpp
  backward/MIFBlockBuilder.cpp
  backward/MIFRebuilder.cpp
  backward/KWXToMIFConverter.cpp
  backward/PseudoTranslation.cpp
  session/PseudoTranslationRun.cpp
)
