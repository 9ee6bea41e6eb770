#include "fontmapping/parser/SSResource.h"

#include <strings.h>

const st_SSResource* SSResourceModule::pcco_Find(const char* name, const char* type) const {
  if (!name || !type) return nullptr;
  for (const st_SSResource& r : m_vecResources) {
    if (::strcasecmp(r.lpsz_Name, name) == 0 && ::strcasecmp(r.lpsz_Type, type) == 0) return &r;
  }
  return nullptr;
}
