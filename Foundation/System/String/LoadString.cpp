// CQ_LoadString: a small registry of lookup functions keyed by module
// handle, guarded by a mutex because the error manager loads formats from
// any thread.
#include "System/String/LoadString.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "System/String/CString.h"
#include "System/String/Formatting.h"
#include "System/String/StringConvert/CodePages.h"
#include "System/String/UString.h"

namespace {

struct Entry {
  CQ_Module module;
  CQ_LoadString::Lookup lookup;
  std::uint32_t codePage;
};

// Never destroyed, so that texts can be loaded while other static objects
// are destroyed at exit.
std::mutex& Mutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::vector<Entry>& Entries() {
  static auto* entries = new std::vector<Entry>;
  return *entries;
}

CQ_Module gDefault{};

CQ_Module DefaultLocked() {
  if (gDefault != CQ_Module{}) return gDefault;
  return Entries().empty() ? CQ_Module{} : Entries().front().module;
}

// Converts 8-bit text into the target string's width and code page.
void Store(CQ_String& target, const std::string& text, std::uint32_t codePage) {
  target.vv_Init(text.data(), static_cast<std::uint32_t>(text.size()), codePage);
}

std::uint32_t CopyOut(char16_t* target, std::uint32_t size, const std::u16string& units) {
  if (!target || size == 0) return 0;
  std::size_t n = units.size() < size - 1 ? units.size() : size - 1;
  std::memcpy(target, units.data(), n * sizeof(char16_t));
  target[n] = 0;
  return static_cast<std::uint32_t>(n);
}

}  // namespace

void CQ_LoadString::sv_Register(CQ_Module module, Lookup lookup, std::uint32_t codePage) {
  std::lock_guard<std::mutex> lock(Mutex());
  auto& entries = Entries();
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->module == module) {
      if (lookup) {
        it->lookup = lookup;
        it->codePage = codePage;
      } else {
        entries.erase(it);
      }
      return;
    }
  }
  if (lookup) entries.push_back({module, lookup, codePage});
}

void CQ_LoadString::sv_SetDefaultModule(CQ_Module module) {
  std::lock_guard<std::mutex> lock(Mutex());
  gDefault = module;
}

CQ_Module CQ_LoadString::sh_GetDefaultModule() {
  std::lock_guard<std::mutex> lock(Mutex());
  return DefaultLocked();
}

const char* CQ_LoadString::slpsz_Find(CQ_Module module, std::uint32_t id, std::uint32_t* codePage) {
  Lookup lookup = nullptr;
  std::uint32_t page = code_pages::kANSI;
  {
    std::lock_guard<std::mutex> lock(Mutex());
    if (module == CQ_Module{}) module = DefaultLocked();
    for (const Entry& entry : Entries()) {
      if (entry.module == module) {
        lookup = entry.lookup;
        page = entry.codePage;
        break;
      }
    }
  }
  if (codePage) *codePage = page;
  return lookup ? lookup(id) : nullptr;
}

void CQ_LoadString::sv_LoadString(CQ_String& target, CQ_Module module, std::uint32_t id) {
  std::uint32_t codePage = 0;
  const char* text = slpsz_Find(module, id, &codePage);
  Store(target, text ? text : "", codePage);
}

void CQ_LoadString::sv_LoadString(char16_t* target, std::uint32_t size, CQ_Module module, std::uint32_t id) {
  std::uint32_t codePage = 0;
  const char* text = slpsz_Find(module, id, &codePage);
  CopyOut(target, size, code_pages::MultiToWide(text ? text : "", codePage));
}

void CQ_LoadString::sv_LoadStringVA(CQ_String& target, CQ_Module module, std::uint32_t id, ...) {
  va_list args;
  va_start(args, id);
  sv_LoadStringVaList(target, module, id, args);
  va_end(args);
}

void CQ_LoadString::sv_LoadStringVaList(CQ_String& target, CQ_Module module, std::uint32_t id, va_list args) {
  std::uint32_t codePage = 0;
  const char* format = slpsz_Find(module, id, &codePage);
  Store(target, format ? formatting::FormatNarrow(format, args) : std::string(), codePage);
}

void CQ_LoadString::sv_LoadStringVaList(char16_t* target, std::uint32_t size, CQ_Module module, std::uint32_t id,
                                        va_list args) {
  std::uint32_t codePage = 0;
  const char* format = slpsz_Find(module, id, &codePage);
  const std::string text = format ? formatting::FormatNarrow(format, args) : std::string();
  CopyOut(target, size, code_pages::MultiToWide(text, codePage));
}
