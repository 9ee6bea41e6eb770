// CQ_Type: type records filled while the prototypes are built.
//
// The record under construction is the last one whose constructor ran with
// a prototype address; base constructors of that prototype see their
// `this` inside it and leave pending pairs, which v_Enter converts into
// offsets. All static state is constant-initialised, so records in other
// translation units may register in any order.
#include "System/Type.h"

#include <cstring>

constinit CQ_Type::st_Pending CQ_Type::saso_Types[32] = {};
constinit std::uint32_t CQ_Type::sn_Types = 0;
constinit CQ_Type* CQ_Type::spco_Any = nullptr;
constinit CQ_Type* CQ_Type::spco_Construct = nullptr;
constinit CQ_Type* CQ_Type::spco_Destruct = nullptr;

namespace {

bool inside(const void* address, const CQ_Type* type) {
  if (!type || !type->pcv_GetObject()) return false;
  const auto* start = static_cast<const unsigned char*>(type->pcv_GetObject());
  const auto* at = static_cast<const unsigned char*>(address);
  return at >= start && at < start + type->n_GetSize();
}

}  // namespace

CQ_Type::CQ_Type(const char* name, const void* prototype, std::uint32_t size)
    : qccz_Name(name), pcv_Object(prototype), n_Size(size) {
  pco_Next = spco_Any;
  spco_Any = this;
  if (prototype) {
    spco_Construct = this;
    sn_Types = 0;
  }
}

CQ_Type::~CQ_Type() {
  for (CQ_Type** link = &spco_Any; *link; link = &(*link)->pco_Next) {
    if (*link == this) {
      *link = pco_Next;
      break;
    }
  }
  if (spco_Construct == this) spco_Construct = nullptr;
  if (spco_Destruct == this) spco_Destruct = nullptr;
  delete[] ast_Types;
}

void CQ_Type::sv_Enter(const void* address, const CQ_Type* type) {
  if (sn_Types >= sizeof(saso_Types) / sizeof(saso_Types[0])) return;
  saso_Types[sn_Types].pcco_Type = type;
  saso_Types[sn_Types].pcv_Address = address;
  ++sn_Types;
}

void CQ_Type::v_Enter() {
  delete[] ast_Types;
  ast_Types = sn_Types ? new st_Base[sn_Types] : nullptr;
  n_Types = sn_Types;
  const auto* start = static_cast<const unsigned char*>(pcv_Object);
  for (std::uint32_t i = 0; i < sn_Types; ++i) {
    ast_Types[i].pcco_Type = saso_Types[i].pcco_Type;
    ast_Types[i].i_Offset = static_cast<const unsigned char*>(saso_Types[i].pcv_Address) - start;
  }
  sn_Types = 0;
  if (spco_Construct == this) spco_Construct = nullptr;
}

void CQ_Type::sv_ToDestruct(const CQ_Type* type) {
  spco_Destruct = const_cast<CQ_Type*>(type);
  if (spco_Destruct) spco_Destruct->n_DestructLeft = spco_Destruct->n_Types;
}

bool CQ_Type::sb_InConstruct(const void* address) { return inside(address, spco_Construct); }

bool CQ_Type::sb_InDestruct(const void* address) {
  CQ_Type* type = spco_Destruct;
  if (!inside(address, type)) return false;
  if (type->n_DestructLeft == 0 || --type->n_DestructLeft == 0) spco_Destruct = nullptr;
  return true;
}

const void* CQ_Type::pcv_CastTo(const void* object, const CQ_Type* type) const {
  if (!object || !type) return nullptr;
  const st_Base* found = nullptr;
  for (std::uint32_t i = 0; i < n_Types; ++i) {
    if (ast_Types[i].pcco_Type != type) continue;
    if (found) return nullptr;  // two subobjects of that type: no unique answer
    found = &ast_Types[i];
  }
  return found ? static_cast<const unsigned char*>(object) + found->i_Offset : nullptr;
}

void* CQ_Type::pv_CastTo(void* object, const CQ_Type* type) const {
  return const_cast<void*>(pcv_CastTo(object, type));
}

const CQ_Type* CQ_Type::spcco_Find(const char* name) {
  for (const CQ_Type* type = spco_Any; type; type = type->pco_Next) {
    if (name && std::strcmp(type->qccz_Name, name) == 0) return type;
  }
  return nullptr;
}
