// Start-up and shut-down hooks.
//
// A static CQ_Init object calls its function when it is constructed, a
// static CQ_Exit object when it is destroyed; the foundation uses them to
// create and destroy the error manager and to read the system version. The
// two strings name the hook (for example the owning class and the step)
// and are kept as given: they must live as long as the object.
#pragma once

#include "System/Export.h"

class OSTRAKON_API CQ_Init {
 public:
  using Function = void (*)();
  // Calls `function` at once (a null function is ignored).
  explicit CQ_Init(Function function, const char* name = nullptr, const char* description = nullptr);
  CQ_Init(const CQ_Init&) = delete;
  CQ_Init& operator=(const CQ_Init&) = delete;

  const char* qccz_GetName() const { return qccz_Name; }
  const char* qccz_GetDescription() const { return qccz_Description; }

 private:
  const char* qccz_Name;
  const char* qccz_Description;
};

class OSTRAKON_API CQ_Exit {
 public:
  using Function = void (*)();
  // Keeps the function; it runs when this object is destroyed.
  explicit CQ_Exit(Function function, const char* name = nullptr, const char* description = nullptr);
  ~CQ_Exit();
  CQ_Exit(const CQ_Exit&) = delete;
  CQ_Exit& operator=(const CQ_Exit&) = delete;

  const char* qccz_GetName() const { return qccz_Name; }
  const char* qccz_GetDescription() const { return qccz_Description; }

 private:
  const char* qccz_Name;
  const char* qccz_Description;
  Function pfn_Function;
};
