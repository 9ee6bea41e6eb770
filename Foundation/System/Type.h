// CQ_Type: the foundation's own run-time type records.
//
// A class takes part by declaring two static members, `sco_Type` (its
// record) and `sco_Object` (a prototype object), with CQ_DECLARE_TYPE, by
// defining them with CQ_DEFINE_TYPE (record first, so it is built before
// the prototype), and by running CQ_TYPE_CONSTRUCT(Class) in every
// constructor and CQ_TYPE_DESTRUCT(Class) in its destructor. While the
// prototype is built, each base constructor records (type, address) in a
// pending table; the most derived constructor then turns the addresses
// into offsets inside the prototype. pv_CastTo then finds a base by type:
// exactly one entry casts, none or several (a class holding two base
// subobjects of one type) give null.
//
// Registration runs during static construction and is not guarded; after
// it the records are only read. A participating member object inside a
// prototype is recorded like a base (its constructor cannot tell the two
// apart), so a cast to its type finds the member.
#pragma once

#include <cstddef>
#include <cstdint>

#include "System/Export.h"

class OSTRAKON_API CQ_Type {
 public:
  // One base entry: a type found in the object and its byte offset.
  struct st_Base {
    const CQ_Type* pcco_Type;
    std::ptrdiff_t i_Offset;
  };
  // A pending (type, address) pair recorded while a prototype is built.
  struct st_Pending {
    const CQ_Type* pcco_Type;
    const void* pcv_Address;
  };

  // `prototype` is the class's sco_Object (null for an abstract class,
  // which then has no entries of its own); `size` its size in bytes.
  CQ_Type(const char* name, const void* prototype, std::uint32_t size);
  virtual ~CQ_Type();
  CQ_Type(const CQ_Type&) = delete;
  CQ_Type& operator=(const CQ_Type&) = delete;

  const char* qccz_GetName() const { return qccz_Name; }
  const void* pcv_GetObject() const { return pcv_Object; }
  std::uint32_t n_GetSize() const { return n_Size; }
  // Number of base entries, the class itself included.
  std::uint32_t n_GetTypes() const { return n_Types; }
  // Entry i (0-based), or null.
  const st_Base* pcst_GetTypeAt(std::uint32_t i) const { return i < n_Types ? &ast_Types[i] : nullptr; }
  const CQ_Type* pcco_GetNext() const { return pco_Next; }

  // Adds a pending pair (dropped when 32 are pending).
  static void sv_Enter(const void* address, const CQ_Type* type);
  // Takes over the pending pairs as entries with offsets from the
  // prototype's start, and empties the pending table.
  void v_Enter();
  // Marks `type` as the record whose prototype is being destroyed.
  static void sv_ToDestruct(const CQ_Type* type);
  // True when `address` lies inside the prototype under construction.
  static bool sb_InConstruct(const void* address);
  // True when `address` lies inside the prototype being destroyed; counts
  // that record's entries down and ends the destruction at 0.
  static bool sb_InDestruct(const void* address);
  // `object` (an object of this record's class) cast to `type`, or null.
  void* pv_CastTo(void* object, const CQ_Type* type) const;
  const void* pcv_CastTo(const void* object, const CQ_Type* type) const;
  // The record with the given class name, or null.
  static const CQ_Type* spcco_Find(const char* name);

  static st_Pending saso_Types[32];
  static std::uint32_t sn_Types;
  static CQ_Type* spco_Any;
  static CQ_Type* spco_Construct;
  static CQ_Type* spco_Destruct;

 private:
  const char* qccz_Name;
  const void* pcv_Object;
  std::uint32_t n_Size;
  st_Base* ast_Types = nullptr;
  std::uint32_t n_Types = 0;
  CQ_Type* pco_Next = nullptr;
  std::uint32_t n_DestructLeft = 0;
};

// The three type-record operations, to be declared first in a root class.
#define CQ_DECLARE_ROOT_TYPE(Class)                              \
 public:                                                         \
  static CQ_Type sco_Type;                                       \
  virtual const CQ_Type* vpcco_GetType() const { return &sco_Type; } \
  virtual void* vpv_IsA(const CQ_Type* type) {                   \
    return type == vpcco_GetType() ? dynamic_cast<void*>(this) : nullptr; \
  }                                                              \
  virtual void* vpv_IsKindOf(const CQ_Type* type) {              \
    return vpcco_GetType()->pv_CastTo(dynamic_cast<void*>(this), type); \
  }

// The record and prototype of a derived participating class.
#define CQ_DECLARE_TYPE(Class)                                   \
 public:                                                         \
  static CQ_Type sco_Type;                                       \
  static Class sco_Object;                                       \
  const CQ_Type* vpcco_GetType() const override { return &sco_Type; }

// For a root class that is itself concrete: the root operations and a
// prototype.
#define CQ_DECLARE_CONCRETE_ROOT_TYPE(Class) \
  CQ_DECLARE_ROOT_TYPE(Class)                \
  static Class sco_Object;

#define CQ_DEFINE_TYPE(Class)                                    \
  CQ_Type Class::sco_Type(#Class, &Class::sco_Object, sizeof(Class)); \
  Class Class::sco_Object;

#define CQ_DEFINE_ABSTRACT_TYPE(Class) CQ_Type Class::sco_Type(#Class, nullptr, sizeof(Class));

// Registration in a constructor of a class with a prototype.
#define CQ_TYPE_CONSTRUCT(Class)                                 \
  do {                                                           \
    if (CQ_Type::sb_InConstruct(this)) {                         \
      CQ_Type::sv_Enter(this, &Class::sco_Type);                 \
      if (static_cast<const void*>(this) == static_cast<const void*>(&Class::sco_Object)) \
        Class::sco_Type.v_Enter();                               \
    }                                                            \
  } while (0)

// Registration in a constructor of an abstract class (no prototype).
#define CQ_TYPE_CONSTRUCT_ABSTRACT(Class)                        \
  do {                                                           \
    if (CQ_Type::sb_InConstruct(this)) CQ_Type::sv_Enter(this, &Class::sco_Type); \
  } while (0)

#define CQ_TYPE_DESTRUCT(Class)                                  \
  do {                                                           \
    if (static_cast<const void*>(this) == static_cast<const void*>(&Class::sco_Object)) \
      CQ_Type::sv_ToDestruct(&Class::sco_Type);                  \
    (void)CQ_Type::sb_InDestruct(this);                          \
  } while (0)

#define CQ_TYPE_DESTRUCT_ABSTRACT(Class) ((void)CQ_Type::sb_InDestruct(this))
