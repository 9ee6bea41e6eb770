// Intrusive reference count shared by lexemes and reduced elements. A new
// object has count 0; whoever keeps it calls v_AddRef and later v_Release,
// which deletes it when the count returns to 0. Releasing an object whose
// count is already 0 raises "SSRef0001e: Reference count less than zero".
#pragma once

class SSRef {
 public:
  SSRef() = default;
  SSRef(const SSRef&) = delete;
  SSRef& operator=(const SSRef&) = delete;
  virtual ~SSRef() = default;

  void v_AddRef() noexcept { ++m_iRefCount; }
  // Returns true when the object was deleted.
  bool b_Release();
  long i_RefCount() const noexcept { return m_iRefCount; }

 private:
  long m_iRefCount = 0;
};
