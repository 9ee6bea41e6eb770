// Intrusive reference count shared by lexemes and reduced elements. A new
// object has count 0; whoever keeps it calls v_AddRef and later v_Release,
// which frees it when the count returns to 0. Releasing an object whose
// count is already 0 raises "SSRef0001e: Reference count less than zero".
#pragma once

class SSLexLexeme;

class SSRef {
 public:
  SSRef() = default;
  SSRef(const SSRef&) = delete;
  SSRef& operator=(const SSRef&) = delete;
  virtual ~SSRef() = default;

  void v_AddRef() noexcept { ++m_iRefCount; }
  // Returns true when the object was deleted.
  bool b_Release() {
    if (m_iRefCount <= 0) v_Underflow();
    if (--m_iRefCount == 0) {
      vv_Free();
      return true;
    }
    return false;
  }
  long i_RefCount() const noexcept { return m_iRefCount; }
  // The object as a lexeme, or nullptr.
  virtual SSLexLexeme* pco_AsLexeme() noexcept { return nullptr; }

 protected:
  // Called when the count returns to 0; deletes the object.
  virtual void vv_Free() { delete this; }

 private:
  [[noreturn]] static void v_Underflow();
  long m_iRefCount = 0;
};
