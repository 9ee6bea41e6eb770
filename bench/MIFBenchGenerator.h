// A deterministic generator of large synthetic MIF documents for the
// forward-conversion benchmark.
//
// The document is laid out as FrameMaker writes MIF 5.5: catalogs, a
// table per page in the Tbls section, body pages with one text column
// each, and one text flow whose Notes block holds the footnotes and whose
// paragraphs carry font changes, character formats, cross-references with
// generated text, index, comment and cross-reference markers, footnote and
// table anchors, condition runs, variables and autonumbers. Table rows
// include one hidden by a condition. The same size and seed always give
// the same bytes.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// Writes a document of about `targetBytes` bytes (at least one page) to
// `path`, streaming: the document is never held in memory as a whole.
// Returns the number of bytes written; throws std::runtime_error when the
// file cannot be written.
std::uint64_t GenerateMIF(const std::string& path, std::uint64_t targetBytes, std::uint32_t seed = 12345);

}  // namespace bench
