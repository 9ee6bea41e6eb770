// Binary resources compiled into a program (the parser tables), found by
// name and type the way a resource is found in a module. Names and types
// compare without regard to case.
#pragma once

#include <cstddef>
#include <vector>

struct st_SSResource {
  const char* lpsz_Name;
  const char* lpsz_Type;
  const unsigned char* pcco_Data;
  std::size_t n_Size;
};

class SSResourceModule {
 public:
  SSResourceModule() = default;
  explicit SSResourceModule(std::vector<st_SSResource> resources) : m_vecResources(std::move(resources)) {}

  // nullptr when the module has no such resource.
  const st_SSResource* pcco_Find(const char* name, const char* type) const;

 private:
  std::vector<st_SSResource> m_vecResources;
};
