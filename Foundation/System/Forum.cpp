#include "System/Forum.h"

CQ_DEFINE_TYPE(CQ_Forum)

CQ_Forum::CQ_Forum() : co_Listeners(sizeof(CQ_Forum*), 8) { CQ_TYPE_CONSTRUCT(CQ_Forum); }

CQ_Forum::CQ_Forum(const CQ_Forum& other) : co_Listeners(other.co_Listeners) { CQ_TYPE_CONSTRUCT(CQ_Forum); }

CQ_Forum& CQ_Forum::operator=(const CQ_Forum& other) {
  v_Set(&other);
  return *this;
}

CQ_Forum::~CQ_Forum() { CQ_TYPE_DESTRUCT(CQ_Forum); }

void CQ_Forum::vv_Update(CQ_Forum* forum, std::uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  vv_Listen(forum, code, args);
  va_end(args);
}

void CQ_Forum::vv_Listen(CQ_Forum*, std::uint32_t, va_list) {}

std::uint32_t CQ_Forum::vn_Listen(CQ_Forum*, std::uint32_t, va_list) { return 0; }

void CQ_Forum::vv_AddListener(CQ_Forum* forum) {
  if (forum) co_Listeners.n_Add(&forum);
}

void CQ_Forum::vv_RemoveListener(CQ_Forum* forum) {
  const std::uint32_t at = co_Listeners.n_Find(&forum);
  if (at) co_Listeners.v_RemoveAt(at);
}

void CQ_Forum::vv_Speak(CQ_Forum* target, std::uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  vv_SpeakVA(target, code, args);
  va_end(args);
}

void CQ_Forum::vv_SpeakVA(CQ_Forum* target, std::uint32_t code, va_list args) {
  if (target) {
    va_list copy;
    va_copy(copy, args);
    target->vv_Listen(this, code, copy);
    va_end(copy);
    return;
  }
  const CQ_VoidArray snapshot(co_Listeners);
  for (std::uint32_t i = 1; i <= snapshot.n_GetCount(); ++i) {
    CQ_Forum* listener = nullptr;
    snapshot.v_GetAt(&listener, i);
    va_list copy;
    va_copy(copy, args);
    listener->vv_Listen(this, code, copy);
    va_end(copy);
  }
}

std::uint32_t CQ_Forum::vn_Speak(CQ_Forum* target, std::uint32_t code, ...) {
  va_list args;
  va_start(args, code);
  const std::uint32_t answer = vn_SpeakVA(target, code, args);
  va_end(args);
  return answer;
}

std::uint32_t CQ_Forum::vn_SpeakVA(CQ_Forum* target, std::uint32_t code, va_list args) {
  if (target) {
    va_list copy;
    va_copy(copy, args);
    const std::uint32_t answer = target->vn_Listen(this, code, copy);
    va_end(copy);
    return answer;
  }
  const CQ_VoidArray snapshot(co_Listeners);
  for (std::uint32_t i = 1; i <= snapshot.n_GetCount(); ++i) {
    CQ_Forum* listener = nullptr;
    snapshot.v_GetAt(&listener, i);
    va_list copy;
    va_copy(copy, args);
    const std::uint32_t answer = listener->vn_Listen(this, code, copy);
    va_end(copy);
    if (answer) return answer;
  }
  return 0;
}

void CQ_Forum::v_Set(const CQ_Forum* other) {
  if (other == this) return;
  if (other) {
    co_Listeners = other->co_Listeners;
  } else {
    co_Listeners.v_RemoveAll();
  }
}

CQ_Forum* CQ_Forum::pco_GetListenerAt(std::uint32_t i) const {
  CQ_Forum* listener = nullptr;
  co_Listeners.v_GetAt(&listener, i);
  return listener;
}
