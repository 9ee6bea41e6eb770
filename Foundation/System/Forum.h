// CQ_Forum: a listener base class.
//
// A forum keeps a list of listener forums (pointers it does not own) and
// speaks to them: vv_Speak calls vv_Listen of one target or of every
// listener in insertion order; vn_Speak calls vn_Listen and stops at the
// first non-zero answer. A listener must be removed before it is destroyed.
// Speaking works on a snapshot of the list, so a listener may add or
// remove listeners (itself included) while it is being spoken to.
// The argument lists are passed on as va_list; each listener gets its own
// copy.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "System/Export.h"
#include "System/String/VoidArray.h"
#include "System/Type.h"

class OSTRAKON_API CQ_Forum {
  // Slots 0-2: vpcco_GetType, vpv_IsA, vpv_IsKindOf.
  CQ_DECLARE_CONCRETE_ROOT_TYPE(CQ_Forum)

 public:
  CQ_Forum();
  // Copies the other forum's listeners.
  CQ_Forum(const CQ_Forum& other);
  CQ_Forum& operator=(const CQ_Forum& other);
  // Slot 3.
  virtual ~CQ_Forum();

  // Slot 4: tells this forum itself about `code` from `forum`, as if it had
  // been spoken to: calls this object's vv_Listen with the arguments.
  virtual void vv_Update(CQ_Forum* forum, std::uint32_t code, ...);
  // Slots 5, 6: what a listener does when spoken to; the defaults do
  // nothing and answer 0.
  virtual void vv_Listen(CQ_Forum* forum, std::uint32_t code, va_list args);
  virtual std::uint32_t vn_Listen(CQ_Forum* forum, std::uint32_t code, va_list args);
  // Slots 7, 8: appends a listener (null is ignored); removes the first
  // equal pointer.
  virtual void vv_AddListener(CQ_Forum* forum);
  virtual void vv_RemoveListener(CQ_Forum* forum);
  // Slots 9-12: with a target, only the target listens; without one (null),
  // every listener in insertion order.
  virtual void vv_Speak(CQ_Forum* target, std::uint32_t code, ...);
  virtual void vv_SpeakVA(CQ_Forum* target, std::uint32_t code, va_list args);
  virtual std::uint32_t vn_Speak(CQ_Forum* target, std::uint32_t code, ...);
  virtual std::uint32_t vn_SpeakVA(CQ_Forum* target, std::uint32_t code, va_list args);

  // Copies the listeners of `other`, or clears them when `other` is null.
  void v_Set(const CQ_Forum* other);
  std::uint32_t n_GetListenerCount() const { return co_Listeners.n_GetCount(); }
  // Listener i (1-based), or null.
  CQ_Forum* pco_GetListenerAt(std::uint32_t i) const;

 protected:
  CQ_VoidArray co_Listeners;
};
