#include <gtest/gtest.h>

#include "platform/objc/NSObject.h"
#include "platform/substrate/CydiaSubstrate.h"

namespace {

std::string trace;

void baseGreet(id, SEL) { trace += "base "; }
void laterBaseGreet(id, SEL) { trace += "later-base "; }
void (*previousGreet)(id, SEL);
void hookedGreet(id self, SEL _cmd) {
  trace += "hook ";
  previousGreet(self, _cmd);
}

// Many arguments of mixed kinds, some on the stack: the forwarder must keep them all.
double baseMix(id, SEL, int a, double b, long c, float d, long e, long f, long g, double h, long i, long j) {
  return a + b + static_cast<double>(c) + d + static_cast<double>(e + f + g) + h + static_cast<double>(i * 1000 + j);
}
double (*previousMix)(id, SEL, int, double, long, float, long, long, long, double, long, long);
double hookedMix(id self, SEL _cmd, int a, double b, long c, float d, long e, long f, long g, double h, long i, long j) {
  return previousMix(self, _cmd, a, b, c, d, e, f, g, h, i, j) + 0.5;
}

struct Classes {
  Class base, derived;
  SEL greet = sel_registerName("greet");
};

Classes makeClasses() {
  Classes classes;
  classes.base = objc_allocateClassPair(NSObject::class_(), "Base", 0);
  objc_registerClassPair(classes.base);
  classes.derived = objc_allocateClassPair(classes.base, "Derived", 0);
  objc_registerClassPair(classes.derived);
  class_addMethod(classes.base, classes.greet, reinterpret_cast<IMP>(&baseGreet), "v@:");
  return classes;
}

}  // namespace

TEST(Hook, OwnMethodIsReplacedAndPreviousStillCallable) {
  Classes classes = makeClasses();
  MSHookMessageEx(classes.base, classes.greet, reinterpret_cast<IMP>(&hookedGreet), reinterpret_cast<IMP*>(&previousGreet));
  EXPECT_EQ(reinterpret_cast<IMP>(previousGreet), reinterpret_cast<IMP>(&baseGreet));
  auto object = objc_createObject(classes.base);
  objc_msgSend(object.get(), classes.greet);
  EXPECT_EQ(trace, "hook base ");
}

TEST(Hook, InheritedMethodIsHookedOnTheClassAndFollowsTheSuperclassAtCallTime) {
  Classes classes = makeClasses();
  MSHookMessageEx(classes.derived, classes.greet, reinterpret_cast<IMP>(&hookedGreet), reinterpret_cast<IMP*>(&previousGreet));
  ASSERT_NE(previousGreet, nullptr);
  auto base = objc_createObject(classes.base);
  auto derived = objc_createObject(classes.derived);
  objc_msgSend(base.get(), classes.greet);
  EXPECT_EQ(trace, "base ") << "the superclass must be untouched";
  trace.clear();
  objc_msgSend(derived.get(), classes.greet);
  EXPECT_EQ(trace, "hook base ");
  trace.clear();
  class_replaceMethod(classes.base, classes.greet, reinterpret_cast<IMP>(&laterBaseGreet), "v@:");
  objc_msgSend(derived.get(), classes.greet);
  EXPECT_EQ(trace, "hook later-base ");
}

TEST(Hook, ForwardingToTheSuperclassKeepsEveryArgument) {
  Classes classes = makeClasses();
  SEL mix = sel_registerName("mix:::::::::");
  class_addMethod(classes.base, mix, reinterpret_cast<IMP>(&baseMix), "d@:idqfqqqdqq");
  MSHookMessageEx(classes.derived, mix, reinterpret_cast<IMP>(&hookedMix), reinterpret_cast<IMP*>(&previousMix));
  auto derived = objc_createObject(classes.derived);
  double result = objc_msgSend<double>(derived.get(), mix, 1, 0.25, 10L, 0.5f, 100L, 200L, 300L, 0.125, 7L, 9L);
  EXPECT_DOUBLE_EQ(result, 1 + 0.25 + 10 + 0.5 + 600 + 0.125 + 7009 + 0.5);
}

TEST(Hook, NullClassOrUnknownSelectorChangesNothing) {
  Classes classes = makeClasses();
  previousGreet = reinterpret_cast<void (*)(id, SEL)>(&baseGreet);
  MSHookMessageEx(nullptr, classes.greet, reinterpret_cast<IMP>(&hookedGreet), reinterpret_cast<IMP*>(&previousGreet));
  EXPECT_EQ(previousGreet, nullptr);
  previousGreet = reinterpret_cast<void (*)(id, SEL)>(&baseGreet);
  SEL unknown = sel_registerName("nobodyAnswers");
  MSHookMessageEx(classes.derived, unknown, reinterpret_cast<IMP>(&hookedGreet), reinterpret_cast<IMP*>(&previousGreet));
  EXPECT_EQ(previousGreet, nullptr);
  EXPECT_FALSE(class_respondsToSelector(classes.derived, unknown));
}
