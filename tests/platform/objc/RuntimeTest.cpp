#include <gtest/gtest.h>

#include "platform/objc/NSObject.h"

namespace {

int answer(id, SEL) { return 1; }
int otherAnswer(id, SEL) { return 2; }
double scaled(id, SEL, double value, long factor) { return value * static_cast<double>(factor); }

class Counter : public NSObject {
 public:
  static inline int destroyed = 0;
  ~Counter() override { ++destroyed; }
};

Class makeClass(const char* name, Class superclass) {
  Class cls = objc_allocateClassPair(superclass, name, 0);
  objc_registerClassPair(cls);
  return cls;
}

}  // namespace

TEST(Runtime, ClassesAreFoundByNameOnceRegistered) {
  Class cls = objc_allocateClassPair(NSObject::class_(), "Pending", 0);
  EXPECT_EQ(objc_getClass("Pending"), nullptr);
  objc_registerClassPair(cls);
  EXPECT_EQ(objc_getClass("Pending"), cls);
  EXPECT_STREQ(class_getName(cls), "Pending");
  EXPECT_EQ(class_getSuperclass(cls), NSObject::class_());
  EXPECT_EQ(objc_allocateClassPair(nullptr, "Pending", 0), nullptr);
  EXPECT_EQ(objc_getClass("Missing"), nullptr);
}

TEST(Runtime, AddMethodRefusesWhatTheClassImplementsButNotWhatItInherits) {
  Class base = makeClass("Base", NSObject::class_());
  Class derived = makeClass("Derived", base);
  SEL selector = sel_registerName("answer");
  EXPECT_TRUE(class_addMethod(base, selector, reinterpret_cast<IMP>(&answer), "i@:"));
  EXPECT_FALSE(class_addMethod(base, selector, reinterpret_cast<IMP>(&otherAnswer), "i@:"));
  EXPECT_TRUE(class_addMethod(derived, selector, reinterpret_cast<IMP>(&otherAnswer), "i@:"));
  EXPECT_EQ(class_getMethodImplementation(base, selector), reinterpret_cast<IMP>(&answer));
}

TEST(Runtime, SendsWalkTheChainAndFollowLaterChanges) {
  Class base = makeClass("Base", NSObject::class_());
  Class derived = makeClass("Derived", base);
  SEL selector = sel_registerName("answer");
  class_addMethod(base, selector, reinterpret_cast<IMP>(&answer), "i@:");
  auto object = objc_createObject(derived);
  // Twice each time: the second send is answered from the method cache.
  EXPECT_EQ(objc_msgSend<int>(object.get(), selector), 1);
  EXPECT_EQ(objc_msgSend<int>(object.get(), selector), 1);
  class_addMethod(derived, selector, reinterpret_cast<IMP>(&otherAnswer), "i@:");
  EXPECT_EQ(objc_msgSend<int>(object.get(), selector), 2);
  EXPECT_EQ(objc_msgSend<int>(object.get(), selector), 2);
  EXPECT_EQ(objc_msgSendSuper<int>({object.get(), base}, selector), 1);
  class_replaceMethod(base, selector, reinterpret_cast<IMP>(&otherAnswer), "i@:");
  EXPECT_EQ(objc_msgSendSuper<int>({object.get(), base}, selector), 2);
}

TEST(Runtime, UnknownSelectorIsAClearErrorNamingClassAndSelector) {
  Class cls = makeClass("Plain", NSObject::class_());
  auto object = objc_createObject(cls);
  try {
    objc_msgSend(object.get(), sel_registerName("fly:"), 3);
    FAIL() << "the send went through";
  } catch (const NSInvalidArgumentException& error) {
    EXPECT_NE(std::string(error.what()).find("-[Plain fly:]: unrecognized selector"), std::string::npos) << error.what();
  }
}

TEST(Runtime, SendWhoseTypesDisagreeWithTheEncodingIsRefused) {
  Class cls = makeClass("Scaler", NSObject::class_());
  SEL selector = sel_registerName("scale:by:");
  class_addMethod(cls, selector, reinterpret_cast<IMP>(&scaled), "d32@0:8d16q24");
  auto object = objc_createObject(cls);
  EXPECT_DOUBLE_EQ(objc_msgSend<double>(object.get(), selector, 1.5, 4L), 6.0);
  EXPECT_THROW(objc_msgSend<double>(object.get(), selector, 1.5, 4), NSInvalidArgumentException);
  EXPECT_THROW(objc_msgSend<int>(object.get(), selector, 1.5, 4L), NSInvalidArgumentException);
  EXPECT_THROW(objc_msgSend(object.get(), selector, 1.5, 4L), NSInvalidArgumentException);
}

TEST(Runtime, SendToNilReturnsZero) {
  NSObject* nothing = nullptr;
  EXPECT_EQ(objc_msgSend<int>(nothing, sel_registerName("anything")), 0);
  EXPECT_NO_THROW(objc_msgSend(nothing, sel_registerName("anything")));
}

TEST(Runtime, SelectorsAreInterned) {
  EXPECT_EQ(sel_registerName("merrowPlayMySong:"), sel_registerName(std::string("merrowPlayMySong:").c_str()));
  EXPECT_STREQ(sel_getName(sel_registerName("increaseVolume")), "increaseVolume");
}

TEST(Runtime, ObjectsAreFreedWithTheirLastReferenceUnlessImmortal) {
  Class cls = objc_registerCppClass<Counter>("Counter", NSObject::class_());
  {
    auto first = objc_createObject(cls);
    auto second = first;
    EXPECT_TRUE(first->isKindOfClass(NSObject::class_()));
  }
  EXPECT_EQ(Counter::destroyed, 1);
  static id immortal = objc_makeImmortal(class_createInstance(cls, 0));
  objc_release(immortal);
  objc_release(immortal);
  EXPECT_EQ(Counter::destroyed, 1);
}
