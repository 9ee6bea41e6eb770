// CQ_LoadString: message texts by id from a deliverable's string table.
//
// The foundation does not know any string table itself. Each deliverable
// registers a lookup function for its module handle when it starts (the
// kernel library for its messages, the font mapping program for its own):
//
//   static const int moduleTag = 0;
//   const CQ_Module module = CQ_ModuleOf(&moduleTag);
//   CQ_LoadString::sv_Register(module, &lpsz_LoadKernelString, 65001);
//
// A lookup function returns the zero-terminated 8-bit text of an id, or
// null (or "") when the table has none; the text is in the code page given
// at registration and must stay valid for the rest of the program. Module
// 0 (CQ_Module{}) stands for the default module: the one set with
// sv_SetDefaultModule, else the first one registered. Registration and
// loading may happen from any thread. An id that cannot be found loads as
// an empty text.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "System/Export.h"

class CQ_String;

// An opaque module handle: any non-zero value a deliverable chooses, such
// as the address of one of its static objects. 0 is the default module.
enum class CQ_Module : std::uintptr_t {};

inline CQ_Module CQ_ModuleOf(const void* address) { return static_cast<CQ_Module>(reinterpret_cast<std::uintptr_t>(address)); }

class OSTRAKON_API CQ_LoadString {
 public:
  using Lookup = const char* (*)(std::uint32_t id);

  // Registers (or replaces) the lookup of a module. A null lookup removes it.
  static void sv_Register(CQ_Module module, Lookup lookup, std::uint32_t codePage = 65001);
  static void sv_SetDefaultModule(CQ_Module module);
  // The module that 0 stands for (0 when none is registered).
  static CQ_Module sh_GetDefaultModule();

  // The raw 8-bit text of an id, or null; *codePage receives its page.
  static const char* slpsz_Find(CQ_Module module, std::uint32_t id, std::uint32_t* codePage = nullptr);

  // Loads the text into a string (converted into its width and code page).
  static void sv_LoadString(CQ_String& target, CQ_Module module, std::uint32_t id);
  // Loads the text into a 16-bit buffer of `size` units (zero-terminated,
  // cut to fit).
  static void sv_LoadString(char16_t* target, std::uint32_t size, CQ_Module module, std::uint32_t id);
  // Loads the text and formats it printf-style with the arguments; the
  // format is the 8-bit text, so "%s" takes 8-bit text in its code page.
  static void sv_LoadStringVA(CQ_String& target, CQ_Module module, std::uint32_t id, ...);
  static void sv_LoadStringVaList(CQ_String& target, CQ_Module module, std::uint32_t id, va_list args);
  // The same into a 16-bit buffer of `size` units.
  static void sv_LoadStringVaList(char16_t* target, std::uint32_t size, CQ_Module module, std::uint32_t id,
                                  va_list args);
};
