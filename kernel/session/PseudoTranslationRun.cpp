// Pseudo-translating one KWX file for a client of the library: the kernel's
// int codes and file exceptions are turned into the results queue's lines,
// as for a batch of one back conversion, so no bare code leaves the library.
#include "kernel/backward/PseudoTranslation.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/ResultCodes.h"

bool CQ_Morvane_CommunicationFrame::b_PseudoTranslateFile(const std::string& inPath, const std::string& outPath) {
  v_SetTask(TASK_KWX_TO_MIF);
  const int code = i_RunGuarded([&] {
    sv_PseudoTranslateFile(inPath, outPath);
    return Result::OK;
  });
  if (code == Result::OK) return true;
  int processed = 0;
  int failed = 0;
  (void)b_ErrorReporting(code, processed, failed, 1);
  return false;
}
