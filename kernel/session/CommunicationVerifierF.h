// The session of the verifier-only program: its own settings pages,
// defaults and tag map; the drivers are those of the FrameMaker session.
#pragma once

#include "kernel/session/CommunicationFrame.h"

class OSTRAKON_API CQ_Morvane_CommunicationVerifierF : public CQ_Morvane_CommunicationFrame {
 public:
  CQ_Morvane_CommunicationVerifierF(const char* appName, const char* version, bool gui);
  ~CQ_Morvane_CommunicationVerifierF() override;

 protected:
  int vi_CompareKWXFiles() override;

 public:
  void vv_CreateTagMap(const std::vector<bool>* flags) override;
  void vv_RestoreSettingsDefaults() override;
  void vv_RestorePathsDefaults() override;
  void vv_WritePage4ToRegistry() override;
  void vv_WritePage5ToRegistry() override;
  void vv_GetPage4FromRegistry() override;
  void vv_GetPage5FromRegistry() override;

  void v_Set() override;

 protected:
  void v_InitVerifier();
};
