// The runtime behaviours the tweak relies on: adding over own and inherited
// methods, hooking with call-through, missing classes, signature checks, nil.
#include <gtest/gtest.h>

#include "platform/objc/native_class.h"
#include "platform/objc/runtime.h"
#include "platform/substrate/substrate.h"
#include "tests/support/temp_device.h"

using namespace px::platform::objc;

namespace {

class Runtime : public ::testing::Test {
 protected:
  px::tests::support::TempDevice device;
  Class base = define_class("Base", NSObject_class());
  Class derived = define_class("Derived", base);
  void SetUp() override {
    class_addMethod<std::string>(base, sel("who"), Imp<std::string>([](id, SEL) { return std::string("base"); }));
    class_addMethod<int, int>(base, sel("twice:"), Imp<int, int>([](id, SEL, int x) { return 2 * x; }));
  }
};

TEST_F(Runtime, ClassesAreFoundByNameAndSelectorsAreInterned) {
  EXPECT_EQ(objc_getClass("Derived"), derived);
  EXPECT_EQ(objc_getClass("Missing"), nullptr);
  EXPECT_EQ(class_getSuperclass(derived), base);
  EXPECT_EQ(sel("who"), sel(std::string("w") + "ho"));
  EXPECT_EQ(define_class("Derived", base), nullptr) << "a taken name is refused";
}

TEST_F(Runtime, AddFailsOverOwnMethodAndSucceedsOverInherited) {
  EXPECT_FALSE(
      class_addMethod<std::string>(base, sel("who"), Imp<std::string>([](id, SEL) { return std::string("x"); })));
  EXPECT_TRUE(class_addMethod<std::string>(derived, sel("who"),
                                           Imp<std::string>([](id, SEL) { return std::string("derived"); })));
  EXPECT_EQ(msg_send<std::string>(class_new(derived), sel("who")), "derived");
  EXPECT_EQ(msg_send<std::string>(class_new(base), sel("who")), "base") << "the superclass keeps its own";
}

TEST_F(Runtime, HookOwnMethodCallsThroughToSaved) {
  Imp<int, int> saved;
  ASSERT_TRUE((MSHookMessageEx(
      base, sel("twice:"), [&saved](id self, SEL s, int x) { return saved(self, s, x) + 1; }, &saved)));
  EXPECT_EQ(msg_send<int>(class_new(base), sel("twice:"), 5), 11);
  EXPECT_EQ(msg_send<int>(class_new(derived), sel("twice:"), 5), 11) << "subclasses inherit the hook";
}

TEST_F(Runtime, HookInheritedMethodTouchesOnlyTheSubclass) {
  Imp<std::string> saved;
  ASSERT_TRUE(MSHookMessageEx(
      derived, sel("who"), [&saved](id self, SEL s) { return "hooked " + saved(self, s); }, &saved));
  EXPECT_EQ(msg_send<std::string>(class_new(derived), sel("who")), "hooked base");
  EXPECT_EQ(msg_send<std::string>(class_new(base), sel("who")), "base");
}

TEST_F(Runtime, HookOnMissingClassOrSelectorChangesNothingAndLeavesSlotEmpty) {
  Imp<void> saved;
  EXPECT_FALSE(MSHookMessageEx(
      objc_getClass("SBNoSuchClass"), sel("x"), [](id, SEL) {}, &saved));
  EXPECT_FALSE(MSHookMessageEx(
      base, sel("noSuchMethod"), [](id, SEL) {}, &saved));
  EXPECT_FALSE(saved);
  // A later row on a real class still installs.
  Imp<std::string> who;
  EXPECT_TRUE(MSHookMessageEx(
      base, sel("who"), [](id, SEL) { return std::string("later"); }, &who));
  EXPECT_EQ(msg_send<std::string>(class_new(base), sel("who")), "later");
}

TEST_F(Runtime, SignatureMismatchIsReportedNotCalled) {
  id obj = class_new(base);
  EXPECT_EQ(msg_send<int>(obj, sel("twice:"), 2.5), 0);
  EXPECT_EQ(last_send_status(), SendStatus::signature_mismatch);
  Imp<long> saved;
  EXPECT_FALSE(MSHookMessageEx(
      base, sel("twice:"), [](id, SEL) { return 1L; }, &saved))
      << "a hook of another signature is refused";
  EXPECT_EQ(msg_send<int>(obj, sel("twice:"), 2), 4);
  EXPECT_EQ(last_send_status(), SendStatus::ok);
}

TEST_F(Runtime, NilReceiverAndUnknownSelectorReturnZeroValues) {
  EXPECT_EQ(msg_send<int>(id{}, sel("twice:"), 3), 0);
  EXPECT_EQ(last_send_status(), SendStatus::nil_receiver);
  EXPECT_EQ(msg_send<std::string>(class_new(base), sel("nothing")), "");
  EXPECT_EQ(last_send_status(), SendStatus::unrecognized_selector);
  EXPECT_EQ(msg_send<id>(objc_getClass("SBWiFiManager"), sel("sharedInstance")), nullptr);
}

TEST_F(Runtime, ClassMethodsAndLoadRunAtRegistration) {
  int loads = 0;
  Class c = objc_allocateClassPair(NSObject_class(), "Listener");
  class_addClassMethod<void>(c, sel("load"), Imp<void>([&loads](id, SEL) { ++loads; }));
  EXPECT_EQ(loads, 0);
  objc_registerClassPair(c);
  EXPECT_EQ(loads, 1);
  Class sub = define_class("SubListener", c);
  EXPECT_EQ(loads, 1) << "+load runs for the class that defines it only";
  EXPECT_TRUE(object_isKindOfClass(msg_send<id>(sub, sel("new")), c));
}

TEST_F(Runtime, NamedInstanceVariablesAreTyped) {
  ASSERT_TRUE(class_addIvar(base, "_formatter", typeid(std::string)));
  Ivar ivar = class_getInstanceVariable(derived, "_formatter");
  ASSERT_TRUE(ivar) << "found through the superclass";
  id obj = class_new(derived);
  EXPECT_EQ(object_getIvar<std::string>(obj, ivar), "");
  EXPECT_TRUE(object_setIvar<std::string>(obj, ivar, "HH:mm"));
  EXPECT_EQ(object_getIvar<std::string>(obj, ivar), "HH:mm");
  EXPECT_EQ(object_getIvar<int>(obj, ivar), 0) << "wrong type reads as zero";
  EXPECT_FALSE(class_getInstanceVariable(derived, "_missing"));
}

}  // namespace
