// The kernel's own converter factory: it hands the batch drivers the
// converters that this build of the library holds.
#include "kernel/session/ConverterFactory.h"

namespace {

class KernelConverterFactory final : public CQ_Morvane_ConverterFactory {
 public:
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateMIFConverter(CQ_Morvane_CommunicationFrame&) override {
    return nullptr;
  }
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateKWXConverter(CQ_Morvane_CommunicationFrame&) override {
    return nullptr;
  }
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateComparison(CQ_Morvane_CommunicationFrame&) override {
    return nullptr;
  }
  bool vb_ReadRTFLines(CQ_Morvane_CommunicationFrame&, const std::string&, CExtStringList&) override { return false; }
  bool vb_WriteKWXLines(CQ_Morvane_CommunicationFrame&, const CQ_StringList&, const std::string&) override {
    return false;
  }
};

}  // namespace

std::unique_ptr<CQ_Morvane_ConverterFactory> pco_CreateKernelConverterFactory() {
  return std::make_unique<KernelConverterFactory>();
}
