// Type records and the listener base class: casts through single and
// multiple inheritance, a class with two base subobjects of one type, the
// prototypes' bookkeeping, and speaking to listeners.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "System/Forum.h"
#include "System/OS.h"
#include "System/String/CString.h"
#include "System/Type.h"

namespace {

// A listener that writes down what it heard.
class Recorder : public CQ_Forum {
  CQ_DECLARE_TYPE(Recorder)

 public:
  Recorder() { CQ_TYPE_CONSTRUCT(Recorder); }
  ~Recorder() override { CQ_TYPE_DESTRUCT(Recorder); }

  void vv_Listen(CQ_Forum* forum, std::uint32_t code, va_list args) override {
    heard.push_back(std::to_string(code) + ":" + std::to_string(va_arg(args, int)));
    from = forum;
    if (removeSelfFrom) removeSelfFrom->vv_RemoveListener(this);
  }
  std::uint32_t vn_Listen(CQ_Forum*, std::uint32_t code, va_list args) override {
    heard.push_back("n" + std::to_string(code));
    return answer ? answer + static_cast<std::uint32_t>(va_arg(args, int)) : 0;
  }

  std::vector<std::string> heard;
  CQ_Forum* from = nullptr;
  CQ_Forum* removeSelfFrom = nullptr;
  std::uint32_t answer = 0;
};

// Two paths to CQ_Forum: Left and Right both derive from it.
class Left : public CQ_Forum {
  CQ_DECLARE_TYPE(Left)

 public:
  Left() { CQ_TYPE_CONSTRUCT(Left); }
  ~Left() override { CQ_TYPE_DESTRUCT(Left); }
  int left = 1;
};

class Right : public CQ_Forum {
  CQ_DECLARE_TYPE(Right)

 public:
  Right() { CQ_TYPE_CONSTRUCT(Right); }
  ~Right() override { CQ_TYPE_DESTRUCT(Right); }
  int right = 2;
};

class Both : public Left, public Right {
  CQ_DECLARE_TYPE(Both)

 public:
  Both() { CQ_TYPE_CONSTRUCT(Both); }
  ~Both() override { CQ_TYPE_DESTRUCT(Both); }
};

CQ_DEFINE_TYPE(Recorder)
CQ_DEFINE_TYPE(Left)
CQ_DEFINE_TYPE(Right)
CQ_DEFINE_TYPE(Both)

TEST(TypeRecords, BasesAreRecordedWithTheirOffsets) {
  EXPECT_EQ(Recorder::sco_Type.n_GetTypes(), 2u) << "CQ_Forum and Recorder";
  EXPECT_EQ(Both::sco_Type.n_GetTypes(), 5u) << "CQ_Forum, Left, CQ_Forum, Right, Both";
  EXPECT_EQ(Both::sco_Type.pcv_GetObject(), &Both::sco_Object);
  EXPECT_EQ(Both::sco_Type.n_GetSize(), sizeof(Both));
  EXPECT_EQ(CQ_Type::spcco_Find("Both"), &Both::sco_Type);
  EXPECT_EQ(CQ_Type::spcco_Find("CQ_CString"), &CQ_CString::sco_Type);
  EXPECT_EQ(CQ_Type::sn_Types, 0u) << "nothing stays pending after the prototypes are built";
}

TEST(TypeRecords, CastsFindTheRightSubobject) {
  Both both;
  Left* left = &both;
  Right* right = &both;
  EXPECT_EQ(Both::sco_Type.pv_CastTo(&both, &Left::sco_Type), static_cast<void*>(left));
  EXPECT_EQ(Both::sco_Type.pv_CastTo(&both, &Right::sco_Type), static_cast<void*>(right));
  EXPECT_NE(static_cast<void*>(left), static_cast<void*>(right));
  EXPECT_EQ(Both::sco_Type.pv_CastTo(&both, &Both::sco_Type), static_cast<void*>(&both));
  EXPECT_EQ(Both::sco_Type.pv_CastTo(&both, &CQ_Forum::sco_Type), nullptr)
      << "two CQ_Forum subobjects: no unique answer";
  EXPECT_EQ(Both::sco_Type.pv_CastTo(&both, &Recorder::sco_Type), nullptr);
  // Through a base pointer the object's own record is used.
  EXPECT_EQ(right->vpv_IsKindOf(&Left::sco_Type), static_cast<void*>(left));
  EXPECT_EQ(right->vpv_IsA(&Both::sco_Type), static_cast<void*>(&both));
  EXPECT_EQ(right->vpv_IsA(&Right::sco_Type), nullptr);
  EXPECT_EQ(right->vpv_IsKindOf(&CQ_Forum::sco_Type), nullptr);

  Recorder recorder;
  CQ_Forum* forum = &recorder;
  EXPECT_EQ(forum->vpv_IsKindOf(&CQ_Forum::sco_Type), static_cast<void*>(forum));
  EXPECT_EQ(forum->vpv_IsKindOf(&Recorder::sco_Type), static_cast<void*>(&recorder));
  EXPECT_EQ(forum->vpv_IsKindOf(&Left::sco_Type), nullptr);
}

TEST(TypeRecords, RuntimeObjectsDoNotRegister) {
  const std::uint32_t before = Both::sco_Type.n_GetTypes();
  {
    Both both;
    Both copy;
    (void)copy;
  }
  EXPECT_EQ(Both::sco_Type.n_GetTypes(), before);
  EXPECT_FALSE(CQ_Type::sb_InConstruct(&Both::sco_Object));
  EXPECT_FALSE(CQ_Type::sb_InDestruct(&Both::sco_Object));
}

TEST(Forum, SpeakingReachesListenersInOrder) {
  CQ_Forum forum;
  Recorder first;
  Recorder second;
  forum.vv_AddListener(&first);
  forum.vv_AddListener(&second);
  forum.vv_AddListener(&first);
  forum.vv_Speak(nullptr, 5, 50);
  EXPECT_EQ(first.heard, (std::vector<std::string>{"5:50", "5:50"}));
  EXPECT_EQ(second.heard, (std::vector<std::string>{"5:50"}));
  EXPECT_EQ(second.from, &forum);
  forum.vv_Speak(&second, 6, 60);
  EXPECT_EQ(second.heard.back(), "6:60") << "with a target only the target listens";
  EXPECT_EQ(first.heard.size(), 2u);
  forum.vv_RemoveListener(&first);
  EXPECT_EQ(forum.n_GetListenerCount(), 2u);
  EXPECT_EQ(forum.pco_GetListenerAt(1), &second) << "the first equal pointer is removed";
  EXPECT_EQ(forum.pco_GetListenerAt(2), &first);
}

TEST(Forum, FirstNonZeroAnswerWins) {
  CQ_Forum forum;
  Recorder silent;
  Recorder answering;
  Recorder last;
  answering.answer = 100;
  last.answer = 7;
  for (Recorder* r : {&silent, &answering, &last}) forum.vv_AddListener(r);
  EXPECT_EQ(forum.vn_Speak(nullptr, 9, 5), 105u);
  EXPECT_EQ(silent.heard, (std::vector<std::string>{"n9"}));
  EXPECT_TRUE(last.heard.empty()) << "speaking stops at the first non-zero answer";
  EXPECT_EQ(forum.vn_Speak(&silent, 9, 5), 0u);
  CQ_Forum empty;
  EXPECT_EQ(empty.vn_Speak(nullptr, 1, 2), 0u);
}

TEST(Forum, ListenersMayLeaveWhileBeingSpokenTo) {
  CQ_Forum forum;
  Recorder leaving;
  Recorder staying;
  leaving.removeSelfFrom = &forum;
  forum.vv_AddListener(&leaving);
  forum.vv_AddListener(&staying);
  forum.vv_Speak(nullptr, 1, 1);
  forum.vv_Speak(nullptr, 2, 2);
  EXPECT_EQ(leaving.heard, (std::vector<std::string>{"1:1"}));
  EXPECT_EQ(staying.heard, (std::vector<std::string>{"1:1", "2:2"}));
  CQ_Forum copy;
  copy.v_Set(&forum);
  EXPECT_EQ(copy.n_GetListenerCount(), 1u);
  copy.v_Set(nullptr);
  EXPECT_EQ(copy.n_GetListenerCount(), 0u);
  Recorder self;
  self.vv_Update(&forum, 3, 30);
  EXPECT_EQ(self.heard, (std::vector<std::string>{"3:30"}));
}

// On this platform's C++ ABI a pointer to a virtual member holds 1 plus
// the byte offset of its slot; the destructor takes two slots.
template <typename Member>
std::ptrdiff_t SlotOf(Member member) {
  std::ptrdiff_t raw[2];
  static_assert(sizeof(member) == sizeof(raw));
  std::memcpy(raw, &member, sizeof raw);
  const std::ptrdiff_t index = (raw[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
  return index >= 4 ? index - 1 : index;
}

TEST(Forum, VirtualOperationsKeepTheirSlots) {
  EXPECT_EQ(SlotOf(&CQ_Forum::vpcco_GetType), 0);
  EXPECT_EQ(SlotOf(&CQ_Forum::vpv_IsA), 1);
  EXPECT_EQ(SlotOf(&CQ_Forum::vv_Update), 4);
  EXPECT_EQ(SlotOf(&CQ_Forum::vn_Listen), 6);
  EXPECT_EQ(SlotOf(&CQ_Forum::vv_RemoveListener), 8);
  EXPECT_EQ(SlotOf(&CQ_Forum::vn_Speak), 11);
  EXPECT_EQ(SlotOf(&CQ_Forum::vn_SpeakVA), 12);
}

TEST(OperatingSystem, ReportsTheRunningSystem) {
  EXPECT_EQ(CQ_OS::seo_GetVersion(), CQ_OS::e_Linux);
  EXPECT_FALSE(CQ_OS::sb_GetIsWindowsNT());
  EXPECT_FALSE(CQ_OS::sb_GetIsWindows95());
  EXPECT_FALSE(CQ_OS::sb_GetIsWindows32s());
  EXPECT_GE(CQ_OS::sn_GetOsVersionMajor(), 3u);
  const std::string text = CQ_OS::sqccz_GetOsVersionString();
  EXPECT_EQ(text.rfind("Linux ", 0), 0u) << text;
  EXPECT_NE(text.find(std::to_string(CQ_OS::sn_GetOsVersionMajor()) + "." + std::to_string(CQ_OS::sn_GetOsVersionMinor())),
            std::string::npos)
      << text;
}

}  // namespace
