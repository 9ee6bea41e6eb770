// The front end's string table. Filters keep the "Name|pattern||" form of
// the table; the widget layer turns them into Qt filters with QtFilter.
#include "FrontEndStrings.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <vector>

#include "kernel/session/KernelStrings.h"

namespace brannock {
namespace {

const std::map<unsigned, const char*>& Table() {
  static const std::map<unsigned, const char*> table = {
#define FRONTEND_STRING(id, name, text) {id, text},
#include "frontend/logic/FrontEndStringTable.inc"
#undef FRONTEND_STRING
  };
  return table;
}

}  // namespace

const char* LoadString(unsigned id) {
  if (id >= Msg::GLOSSARY_FIRST && id <= Msg::GLOSSARY_LAST) return lpsz_LoadKernelString(id);
  auto it = Table().find(id);
  return it == Table().end() ? "" : it->second;
}

std::string FormatString(unsigned id, ...) {
  va_list args;
  va_start(args, id);
  std::string text = ccs_VFormat(LoadString(id), args);
  va_end(args);
  return text;
}

std::string QtFilter(const std::string& filter) { return filter.substr(0, filter.find('|')); }

}  // namespace brannock
