// libFuzzer entry over the MIF reading and pre-scan: both forms over the
// input, the restructured lists and their dump, the head checks and the EUC
// conversion. Seed it with tests/data/mif/*/input.mif.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kernel/forward/MIFFileCheck.h"
#include "kernel/forward/MIFPreScan.h"
#include "kernel/session/CommunicationFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "fuzz", false);
  const char* text = reinterpret_cast<const char*>(data);
  for (const bool first : {true, false}) {
    CQ_MIFPreScan::st_Options options;
    options.b_FirstConversion = first;
    options.b_RunFileCheck = false;
    options.i_SourceHyphenation = first ? 0 : 1;
    CQ_MIFPreScan scan(session, options);
    try {
      scan.v_PreScanText(text, size);
      (void)scan.acs_VisibleObjects();
      (void)scan.ccs_Dump();
    } catch (int) {
    }
    session.v_ClearResults();
  }
  try {
    (void)CQ_MIFFileCheck::sb_CheckHead(std::string_view(text, size));
  } catch (int) {
  }
  (void)CQ_EUCToShiftJIS::scs_Convert(std::string_view(text, size));
  return 0;
}
