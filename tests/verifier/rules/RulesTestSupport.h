// Building KWX texts for rule tests and reading what the verifier found.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/session/CommunicationFrame.h"
#include "kernel/verifier/FrameVarnelVerifier.h"

namespace RulesTest {

// How a row's text becomes a whole KWX file.
enum Wrap {
  ON_PAGE,         // header, <page "1"> <tr 1>, the text, </tr> </page>, </kwx>
  BODY,            // header, the text, </kwx>
  NO_END,          // header, the text
  ANCILLARY,       // ancillary header, <file "...">, the text, </file "...">, </kwx>
};

// The text of a KWX file built from text, one tag or paragraph per line.
std::string Build(Wrap wrap, std::string_view text);

// Lines as the KWX reader delivers them: split at line ends, empty lines dropped.
std::vector<std::string> Lines(std::string_view text);

// A session without a window, with English (US) as its source and target language.
std::unique_ptr<CQ_Morvane_CommunicationFrame> MakeSession();

// The message numbers of the numbered entries of sections first to last, in order.
std::vector<int> Numbers(const CQ_VarnelVerifier& verifier, int first, int last);

// Every entry, one per line, for failure messages.
std::string Dump(const CQ_VarnelVerifier& verifier);

// A stand-in for back conversion's tag map: every external and internal
// tag of a KWX text, and the tags back conversion always knows.
CQ_TagMap TagMapOf(std::string_view text);

// The data folder of these tests.
std::string DataPath(const std::string& name);
std::string ReadFile(const std::string& path);

}  // namespace RulesTest
