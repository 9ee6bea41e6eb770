// Finding the objects of a MIF file that its pages show, for the font
// mapping tool. The file is pre-scanned in the second form (no checks, no
// EUC copy, no ORG copy, no messages) and the identifiers of the objects in
// the rebuilt body and master lists are recorded; failures are reported as
// for a batch of one file, through the same guard as the batch drivers'.
#include "kernel/forward/MIFPreScan.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/ResultCodes.h"

bool CQ_Morvane_CommunicationFrame::b_FindMIFObjects(const std::string& path) {
  m_mapVisibleMIFObjects.clear();
  v_SetTask(TASK_MIF_TO_KWX);
  v_SetMarkerPlaceholders(0);
  const int code = i_RunGuarded([&] {
    CQ_MIFPreScan preScan(*this, CQ_MIFPreScan::st_SecondFormOptions(*this));
    preScan.v_PreScanSecondForm(path, false);
    for (const std::string& identifier : preScan.acs_VisibleObjects()) v_AddVisibleMIFObject(identifier.c_str());
    return Result::OK;
  });
  if (code == Result::OK) return true;
  m_mapVisibleMIFObjects.clear();
  int processed = 0;
  int failed = 0;
  (void)b_ErrorReporting(code, processed, failed, 1);
  return false;
}
