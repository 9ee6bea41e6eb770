// The two whole runs of the verifier. Both keep the order: check, compare
// (verification only), recount with the user's suppressions, then write
// the report, so that the report, the session's counters and the results
// lines always agree.
#include "kernel/verifier/VarnelVerification.h"

#include <algorithm>
#include <cstdio>

#include "System/Platform/FileSystem.h"
#include "System/Platform/TemporaryFile.h"
#include "System/Platform/LocalTime.h"
#include "kernel/backward/KWXReader.h"
#include "kernel/verifier/FrameVarnelVerifier.h"
#include "kernel/verifier/VarnelComparison.h"
#include "kernel/verifier/VarnelReport.h"

namespace {

// Entries in section order, keeping the order in which each section found
// them; the session's error list receives them in that order.
void SortBySection(std::vector<st_VarnelReportEntry>& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const st_VarnelReportEntry& a, const st_VarnelReportEntry& b) { return a.i_Section < b.i_Section; });
}

}  // namespace

std::string CQ_VarnelVerification::scs_ReportPath(const CQ_Morvane_Communication& session) {
  return std::string(session.lpsz_GetTranslatedFilesPath()) + session.lpsz_GetCurrentFileName() + ".cmp";
}

int CQ_VarnelVerification::si_VerifyCurrentFile(CQ_Morvane_Communication& session) {
  const std::string name = session.lpsz_GetCurrentFileName();
  const std::string extension = session.lpsz_GetCurrentFileExtension();
  st_VarnelReportTitle title;
  title.cs_DateTime = Platform::LongDateTime();
  title.cs_SourceFile = session.lpsz_GetORGFilesPath() + name + extension;
  title.cs_TargetFile = session.lpsz_GetTranslatedFilesPath() + name + extension;

  CQ_FrameVarnelVerifier verifier(session, !CQ_KWXReader::sb_IsAncillaryFileName(title.cs_TargetFile));
  int code = CQ_VarnelVerifier::RESULT_VERIFICATION_COMPLETE;
  {
    std::vector<std::string> source;
    std::vector<std::string> target;
    verifier.v_ReadFiles(source, target);
    if (!verifier.b_CheckSource(source) || !verifier.b_CheckTarget(target)) {
      code = CQ_VarnelVerifier::RESULT_VERIFICATION_FAILED;
    }
  }
  if (code == CQ_VarnelVerifier::RESULT_VERIFICATION_COMPLETE) CQ_VarnelComparison(verifier).v_Run();

  std::vector<st_VarnelReportEntry>& entries = verifier.rco_Entries();
  SortBySection(entries);
  const CQ_TagMap& suppressed = *session.pcco_GetCustomTagMap();
  const st_VarnelCounts counts = CQ_VarnelReport::sst_Count(entries, suppressed);
  session.v_SetVerificationErrors(counts.n_Errors);
  session.v_SetVerificationAlerts(counts.n_Alerts);
  session.v_SetVerificationWarnings(counts.n_Warnings);
  session.v_SetVerificationSuppressions(counts.n_Suppressed);
  verifier.v_HandOverRecords();

  const std::string report = scs_ReportPath(session);
  const CQ_VarnelReportLines lines = CQ_VarnelReport::sco_BuildLines(entries, suppressed, counts, title);
  if (lines.empty()) {
    if (Platform::FileExists(report)) {
      Platform::CQ_TemporaryFile::sv_PassCommitGate();  // a parallel batch orders this like a write
      std::remove(report.c_str());
    }
  } else {
    CQ_VarnelReport::sv_Write(report, lines, session);
  }
  session.v_UpdateUI();
  return code;
}

void CQ_VarnelVerification::sv_CheckBackConversionTags(CQ_Morvane_Communication& session,
                                                       const std::vector<std::string>& lines, const CQ_TagMap& tagMap,
                                                       bool document, const std::string& translatedFileName,
                                                       const st_BackConversionContext* context) {
  sv_CheckBackConversionTags(session, KWX::CQ_KWXText(lines), tagMap, document, translatedFileName, context);
}

void CQ_VarnelVerification::sv_CheckBackConversionTags(CQ_Morvane_Communication& session, const KWX::CQ_KWXText& lines,
                                                       const CQ_TagMap& tagMap, bool document,
                                                       const std::string& translatedFileName,
                                                       const st_BackConversionContext* context) {
  st_VarnelReportTitle title;
  title.b_BackConversion = true;
  title.cs_DateTime = Platform::LongDateTime();
  title.cs_SourceFile = translatedFileName;

  CQ_FrameVarnelVerifier verifier(session, document);
  if (verifier.b_CheckTranslatedList(lines, tagMap, context)) return;

  std::vector<st_VarnelReportEntry>& entries = verifier.rco_Entries();
  SortBySection(entries);
  const CQ_TagMap& suppressed = *session.pcco_GetCustomTagMap();
  const st_VarnelCounts counts = CQ_VarnelReport::sst_Count(entries, suppressed);
  CQ_VarnelReport::sv_Write(scs_ReportPath(session), CQ_VarnelReport::sco_BuildLines(entries, suppressed, counts, title),
                            session);
  throw verifier.i_TagErrorCode();
}
