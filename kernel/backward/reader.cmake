# The KWX reader: text and RTF readers, header validation, segments and
# the tag lexicon.
list(APPEND KERNEL_SOURCES
  backward/FileBlockReader.cpp
  backward/RTFReader.cpp
  backward/KWXReader.cpp
  backward/KWXLexicon.cpp
  backward/KWXSegmenter.cpp
)
