// The session for FrameMaker documents: batch drivers for forward and back
// conversion, the ancillary file, the settings pages of the store and the
// verifier's tag map.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "kernel/session/Communication.h"
#include "kernel/session/ConverterFactory.h"

class OSTRAKON_API CQ_Morvane_CommunicationFrame : public CQ_Morvane_Communication {
 public:
  CQ_Morvane_CommunicationFrame(const char* appName, const char* version, bool gui);
  ~CQ_Morvane_CommunicationFrame() override;

 protected:
  int vi_CompareKWXFiles() override;

 public:
  void vv_CreateTagMap(const std::vector<bool>* flags) override;
  void vv_RestoreSettingsDefaults() override;
  void vv_RestorePathsDefaults() override;

 protected:
  void vv_WriteSettingsToRegistry() override;
  void vv_GetSettingsFromRegistry() override;

 public:
  void vv_WritePage4ToRegistry() override;
  void vv_WritePage5ToRegistry() override;
  void vv_GetPage4FromRegistry() override;
  void vv_GetPage5FromRegistry() override;

  void v_Set() override;

  // --- batch drivers ---------------------------------------------------------
  // Converts a batch of MIF files (full paths) to KWX.
  void v_ConvertMIF(const CQ_StringList* paths);
  // Converts a batch of translated KWX files back to MIF. The ancillary
  // file name is used only by a GUI-clear session (empty: none).
  void v_ConvertKWX(const CQ_StringList* paths, const char* ancillaryName = nullptr);

  // Whether forward conversion converts a MIF file with change bars on
  // from a copy with change bars switched off, kept in the ORG folder's
  // change-bars-off/ folder (CQ_ChangeBarsOffCopies); default: no, such a
  // file is refused.
  bool b_GetClearChangeBars() const { return m_bClearChangeBars; }
  void v_SetClearChangeBars(bool b) { m_bClearChangeBars = b; }

  // Whether back conversion may write a MIF file over the source file its
  // ORG copy was made from (default: no; a GUI session asks).
  bool b_GetReplaceSourceFiles() const { return m_bReplaceSourceFiles; }
  void v_SetReplaceSourceFiles(bool b) { m_bReplaceSourceFiles = b; }
  // Raises 3210, after adding its lines, when `outputPath` names the same
  // file as `sourcePath` and replacing it is neither allowed nor, in a GUI
  // session, confirmed. Nothing happens when either file does not exist.
  void v_CheckNotReplacingSource(const std::string& outputPath, const std::string& sourcePath);

  // --- verifier report options -------------------------------------------
  void v_SetVerifierReportOption(unsigned index, bool suppress);
  bool b_GetVerifierReportOption(unsigned index) const;
  // The 45 message types of the verifier report, each the concatenation of
  // the tag prefixes it covers, in the order of the report list.
  static const std::vector<std::string> sacs_CustomiseFrame;

  // --- visible MIF objects ---------------------------------------------------
  void v_AddVisibleMIFObject(const char* identifier);
  bool b_GetVisibleMIFObject(const char* identifier) const;
  // The identifiers recorded, in no particular order.
  std::vector<std::string> ccs_GetVisibleMIFObjects() const;
  // Pre-scans one MIF file and fills the visible-object map; false when the
  // pre-scan failed (the reasons are in the results queue).
  [[nodiscard]] bool b_FindMIFObjects(const std::string& path);

  // --- pseudo-translation ------------------------------------------------------
  // Writes the pseudo-translated copy of one KWX file (sv_PseudoTranslateFile)
  // through the guard of the batch drivers; false when it failed, with the
  // reasons in the results queue as for a batch of one back conversion.
  [[nodiscard]] bool b_PseudoTranslateFile(const std::string& inPath, const std::string& outPath);

  // --- ancillary file --------------------------------------------------------
  void v_ClearAncillaryFile() { m_lstAncillary.clear(); }
  // Asks which copies to write (GUI sessions) and writes the batch's
  // ancillary file; false when nothing was written.
  [[nodiscard]] bool b_CreateAncillaryFile();
  // A GUI session runs the interactive form and ignores the name; any other
  // writes one file under the name. False after a reported file error.
  [[nodiscard]] bool b_CreateAncillaryFile(const std::string& fileName);
  // Reads the translated ancillary file into the read-back lines, once per
  // batch. A missing or unreadable file is reported as a warning.
  void v_ReadAncillaryKWXFile(const std::string& fileName);
  // Appends the section of the document whose source-path header line is
  // given (the line that begins "<sourcepath ") to output, after checking
  // the ancillary file's header against the session; failures are
  // reported as warnings and leave output unchanged.
  void v_ExtractAncillaryKWXSection(CExtStringList* output, int unused, const std::string& sourcePathLine);
  // The same, checking the header's character set and source hyphenation
  // against settings instead of the session's (back conversion: those of
  // the translated file's header).
  void v_ExtractAncillaryKWXSection(CExtStringList* output, const std::string& sourcePathLine,
                                    const st_ForwardRunSettings& settings);

  // --- converters ----------------------------------------------------------------
  // Replaces the factory of per-file converters (the session owns it). A
  // null factory restores the kernel's own.
  void v_SetConverterFactory(std::unique_ptr<CQ_Morvane_ConverterFactory> factory);
  CQ_Morvane_ConverterFactory& rco_GetConverterFactory();

 protected:
  // For derived sessions that read settings pages of their own.
  struct st_DerivedSession {};
  CQ_Morvane_CommunicationFrame(const char* appName, const char* version, bool gui, st_DerivedSession);

  void v_InitFrame();
  // Reads a stored folder; one that cannot be entered becomes the root.
  void v_ReadStoredPath(const char* name, std::string& field);
  void v_WriteAncillaryFile();
  void v_WriteAncillaryFile(const std::string& fileName);
  // The whole ancillary file: header lines, the given lines, closing line.
  CQ_StringList ccs_AncillaryHeader() const;
  // Puts the copies with change bars switched off in place of the listed
  // documents with change bars on and reports them. False, after
  // reporting the copy that could not be written, when none may be
  // converted.
  bool b_UseChangeBarsOffCopies(CQ_StringList& paths);
  int i_ConvertMIFFile();
  int i_ConvertKWXFile(const char* ancillaryName);
  // Runs one converter, mapping what it raises to a per-file result code.
  [[nodiscard]] int i_RunConverter(CQ_Morvane_FileConverter* converter);
  int i_ConfirmOverwritingKWXFiles();
  int i_ConfirmOverwritingMIFFiles();
  // The KWX extension of the file format setting: ".rtf" or ".txt".
  std::string ccs_KWXExtension() const;
  // Adds the closing line and the summary of a conversion batch.
  void v_ConversionSummary(int processed, int failed, int filesInList);

  std::unordered_map<std::string, std::string> m_mapVisibleMIFObjects;
  std::unique_ptr<CQ_Morvane_ConverterFactory> m_pcoConverterFactory;
  // Set once a derived session has written its own settings pages.
  bool m_bSettingsWritten = false;
  bool m_bReplaceSourceFiles = false;
  bool m_bClearChangeBars = false;
};
