// CQ_OS: the operating system the program runs on.
//
// The getters report the running system as it is: on Linux the family is
// e_Linux, none of the Windows tests is true, and the version numbers are
// the kernel release's first three numbers ("6.1.0-18-amd64" gives 6, 1
// and 0). The values are read once at start-up by the static sco_Init (or
// on first use, whichever comes first) and never change afterwards, so the
// getters may be called from any thread.
#pragma once

#include <cstdint>

#include "System/Export.h"
#include "System/Init.h"

class OSTRAKON_API CQ_OS {
 public:
  enum et_Version {
    e_Unknown = 0,
    e_Windows32s,
    e_Windows95,
    e_Windows95OSR2,
    e_Windows98,
    e_WindowsNT,
    e_Linux,
    e_OtherUnix,
  };

  static void sv_Init();
  static CQ_Init sco_Init;

  static et_Version seo_GetVersion();
  static bool sb_GetIsWindowsNT();
  static bool sb_GetIsWindows95();
  static bool sb_GetIsWindows95OSR2();
  static bool sb_GetIsWindows32s();
  static std::uint32_t sn_GetOsVersionMajor();
  static std::uint32_t sn_GetOsVersionMinor();
  static std::uint32_t sn_GetOsVersionBuild();
  // System name, release and version, e.g. "Linux 6.1.0-18-amd64 #1 SMP ...".
  static const char* sqccz_GetOsVersionString();
};
