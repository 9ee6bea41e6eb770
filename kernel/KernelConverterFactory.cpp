// The kernel's own converter factory: it hands the batch drivers the
// converters that this build of the library holds.
#include "kernel/session/ConverterFactory.h"

#include "kernel/backward/KWXToMIFConverter.h"
#include "kernel/backward/RTFReader.h"
#include "kernel/forward/ChangeBarsOffCopies.h"
#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/forward/MIFToKWXConverter.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/verifier/VarnelVerification.h"

namespace {

// Forward conversion of the session's current file.
class MIFFileConverter final : public CQ_Morvane_FileConverter {
 public:
  explicit MIFFileConverter(CQ_Morvane_CommunicationFrame& session) : m_session(session) {}
  int vi_Convert() override {
    CQ_MIFToKWXConverter converter(m_session, CQ_MIFToKWXConverter::st_ForwardOptions());
    converter.v_ConvertFile();
    return 0;
  }

 private:
  CQ_Morvane_CommunicationFrame& m_session;
};

class KernelConverterFactory final : public CQ_Morvane_ConverterFactory {
 public:
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateMIFConverter(CQ_Morvane_CommunicationFrame& session) override {
    return std::make_unique<MIFFileConverter>(session);
  }
  // Back conversion of the session's current translated file with its ORG
  // copy into translated folder + name + ".mif" (CQ_KWXToMIFConverter).
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateKWXConverter(CQ_Morvane_CommunicationFrame& session) override {
    class BackConversion final : public CQ_Morvane_FileConverter {
     public:
      explicit BackConversion(CQ_Morvane_CommunicationFrame& session) : m_session(session) {}
      int vi_Convert() override {
        CQ_KWXToMIFConverter(m_session).v_ConvertFile();
        return 0;
      }

     private:
      CQ_Morvane_CommunicationFrame& m_session;
    };
    return std::make_unique<BackConversion>(session);
  }
  // The verification of the session's current file against its source;
  // returns 10030 or 10020 and raises the reader's codes.
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateComparison(CQ_Morvane_CommunicationFrame& session) override {
    class Comparison final : public CQ_Morvane_FileConverter {
     public:
      explicit Comparison(CQ_Morvane_CommunicationFrame& session) : m_session(session) {}
      int vi_Convert() override { return CQ_VarnelVerification::si_VerifyCurrentFile(m_session); }

     private:
      CQ_Morvane_CommunicationFrame& m_session;
    };
    return std::make_unique<Comparison>(session);
  }
  // Reads with the RTF reader: 5050 for an empty file, 5010 for one that is
  // not RTF, 5020 for a parser error, Platform::CQ_FileException when the
  // file cannot be opened or read. Translated text is in the target's code
  // page, so Unicode characters of the file are converted into that one.
  bool vb_ReadRTFLines(CQ_Morvane_CommunicationFrame& session, const std::string& path,
                       CExtStringList& lines) override {
    CQ_RTFReader(session.i_TargetTextCodePage()).v_ReadFile(path, lines);
    return true;
  }
  // Text form for file format 0, RTF for any other value: A4 when the RTF
  // page size is 0, Letter otherwise, always portrait. Each line is
  // prepared for RTF while it is written, so the list is not copied.
  bool vb_WriteKWXLines(CQ_Morvane_CommunicationFrame& session, const CQ_StringList& lines,
                        const std::string& path) override {
    CQ_KWXRTFWriter::sv_WriteTextOrRTF(path, lines, session.i_GetFileFormatForKWX() != 0, session.i_GetRTFPageSize() == 0,
                                       session.i_GetSourceCodePage(), session.i_GetTargetCodePage());
    return true;
  }
};

}  // namespace

std::unique_ptr<CQ_Morvane_ConverterFactory> pco_CreateKernelConverterFactory() {
  return std::make_unique<KernelConverterFactory>();
}

st_ChangeBarsOffBatch CQ_Morvane_ConverterFactory::vc_UseChangeBarsOffCopies(CQ_StringList& paths,
                                                                             const std::string& orgFolder) {
  return CQ_ChangeBarsOffCopies::sc_UseCopies(paths, orgFolder);
}
