// The seam between the batch drivers and the per-file converters.
//
// A driver asks the session's factory for the converter of its task, runs
// it on the session's current file and destroys it. Converters report by
// returning or raising the kernel's int result codes, Platform::CQ_FileException,
// Platform::CQ_ArchiveException or std::bad_alloc; the driver's per-file
// operation catches those once. The kernel installs its own factory in
// every FrameMaker session; tests install doubles.
#pragma once

#include <memory>
#include <string>

#include "System/Export.h"
#include "kernel/session/ChangeBarsOffBatch.h"
#include "kernel/session/ExtStringList.h"

class CQ_Morvane_CommunicationFrame;

class OSTRAKON_API CQ_Morvane_FileConverter {
 public:
  virtual ~CQ_Morvane_FileConverter();
  // Converts (or compares) the session's current file and returns the
  // per-file result code: 0 for success, or a code the comparison ends
  // with (verification complete or failed). Errors may also be raised.
  virtual int vi_Convert() = 0;
};

class OSTRAKON_API CQ_Morvane_ConverterFactory {
 public:
  virtual ~CQ_Morvane_ConverterFactory();

  // The forward converter (MIF to KWX) over the session, or null when this
  // build has none.
  virtual std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateMIFConverter(CQ_Morvane_CommunicationFrame& session) = 0;

  // The back converter (KWX to MIF) over the session, or null.
  virtual std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateKWXConverter(CQ_Morvane_CommunicationFrame& session) = 0;

  // The comparison of the current translated KWX file with its source, or
  // null.
  virtual std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateComparison(CQ_Morvane_CommunicationFrame& session) = 0;

  // Reads a KWX file in RTF form into lines, raising the reader's codes.
  // Returns false when this build has no RTF reader.
  virtual bool vb_ReadRTFLines(CQ_Morvane_CommunicationFrame& session, const std::string& path, CExtStringList& lines) = 0;

  // Writes KWX lines as a file in the session's KWX format (text or RTF),
  // raising Platform::CQ_FileException on failure. Returns false when this
  // build has no writer for that format.
  virtual bool vb_WriteKWXLines(CQ_Morvane_CommunicationFrame& session, const CQ_StringList& lines, const std::string& path) = 0;

  // Puts copies with change bars switched off, in the ORG folder
  // `orgFolder` (ending with '/'), in place of the listed MIF files with
  // change bars on (CQ_ChangeBarsOffCopies::sc_UseCopies, for every
  // factory unless it knows better).
  virtual st_ChangeBarsOffBatch vc_UseChangeBarsOffCopies(CQ_StringList& paths, const std::string& orgFolder);
};

// The kernel's own factory: the converters this build holds.
OSTRAKON_API std::unique_ptr<CQ_Morvane_ConverterFactory> pco_CreateKernelConverterFactory();
