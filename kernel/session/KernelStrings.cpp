// The kernel's string table. The texts are data (KernelStringTable.inc),
// sorted by id; lookups are a binary search.
#include "kernel/session/KernelStrings.h"

#include "System/Init.h"
#include "System/String/Formatting.h"
#include "System/String/LoadString.h"

#include <algorithm>
#include <cstdarg>
#include <iterator>

namespace {

struct Entry {
  unsigned id;
  const char* text;
};

const Entry kTable[] = {
#define KERNEL_STRING(id, name, text) {id, text},
#include "kernel/session/KernelStringTable.inc"
#undef KERNEL_STRING
};

const Entry* Find(unsigned id) {
  const Entry* end = std::end(kTable);
  const Entry* it = std::lower_bound(std::begin(kTable), end, id, [](const Entry& e, unsigned key) { return e.id < key; });
  return (it != end && it->id == id) ? it : nullptr;
}

const char* LookUp(std::uint32_t id) {
  const Entry* e = Find(id);
  return e ? e->text : nullptr;
}

// The kernel's table is the default module of the foundation's string
// loader, so foundation code that loads by id finds the kernel's texts.
const int kModuleTag = 0;
void RegisterTable() {
  const CQ_Module module = CQ_ModuleOf(&kModuleTag);
  CQ_LoadString::sv_Register(module, &LookUp, 1252);
  CQ_LoadString::sv_SetDefaultModule(module);
}
const CQ_Init kRegistration(&RegisterTable, "KernelStrings", "registers the kernel's string table");

}  // namespace

const char* lpsz_LoadKernelString(unsigned id) {
  const Entry* e = Find(id);
  return e ? e->text : "";
}

bool b_HasKernelString(unsigned id) { return Find(id) != nullptr; }

std::string ccs_VFormatKernelString(unsigned id, va_list args) {
  return ccs_VFormat(lpsz_LoadKernelString(id), args);
}

std::string ccs_FormatKernelString(unsigned id, ...) {
  va_list args;
  va_start(args, id);
  std::string out = ccs_VFormatKernelString(id, args);
  va_end(args);
  return out;
}

std::string ccs_VFormat(const char* format, va_list args) { return formatting::FormatNarrow(format, args); }

std::string ccs_Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = ccs_VFormat(format, args);
  va_end(args);
  return out;
}
