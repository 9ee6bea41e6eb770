// CQ_OS: uname(2) read once into a process-wide record.
#include "System/OS.h"

#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

struct Info {
  CQ_OS::et_Version version = CQ_OS::e_Unknown;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  char text[512] = {};
};

Info gInfo;
std::once_flag gOnce;

void Read() {
  struct utsname name;
  if (uname(&name) != 0) {
    std::snprintf(gInfo.text, sizeof gInfo.text, "unknown");
    return;
  }
  gInfo.version = std::strcmp(name.sysname, "Linux") == 0 ? CQ_OS::e_Linux : CQ_OS::e_OtherUnix;
  std::snprintf(gInfo.text, sizeof gInfo.text, "%s %s %s", name.sysname, name.release, name.version);
  std::uint32_t* fields[] = {&gInfo.major, &gInfo.minor, &gInfo.build};
  const char* p = name.release;
  for (std::uint32_t* field : fields) {
    if (*p < '0' || *p > '9') break;
    char* end = nullptr;
    *field = static_cast<std::uint32_t>(std::strtoul(p, &end, 10));
    p = end;
    if (*p != '.') break;
    ++p;
  }
}

const Info& Get() {
  std::call_once(gOnce, Read);
  return gInfo;
}

}  // namespace

CQ_Init CQ_OS::sco_Init(&CQ_OS::sv_Init, "CQ_OS", "read the operating-system version");

void CQ_OS::sv_Init() { Get(); }

CQ_OS::et_Version CQ_OS::seo_GetVersion() { return Get().version; }
bool CQ_OS::sb_GetIsWindowsNT() { return Get().version == e_WindowsNT; }
bool CQ_OS::sb_GetIsWindows95() { return Get().version == e_Windows95 || Get().version == e_Windows95OSR2; }
bool CQ_OS::sb_GetIsWindows95OSR2() { return Get().version == e_Windows95OSR2; }
bool CQ_OS::sb_GetIsWindows32s() { return Get().version == e_Windows32s; }
std::uint32_t CQ_OS::sn_GetOsVersionMajor() { return Get().major; }
std::uint32_t CQ_OS::sn_GetOsVersionMinor() { return Get().minor; }
std::uint32_t CQ_OS::sn_GetOsVersionBuild() { return Get().build; }
const char* CQ_OS::sqccz_GetOsVersionString() { return Get().text; }
