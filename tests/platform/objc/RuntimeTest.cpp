#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/objc/Methods.h"
#include "platform/objc/NSObject.h"

namespace {

int answer(id, SEL) { return 1; }
int otherAnswer(id, SEL) { return 2; }
double scaled(id, SEL, double value, long factor) { return value * static_cast<double>(factor); }

class Counter : public NSObject {
 public:
  static inline std::atomic<int> destroyed{0};
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
  EXPECT_EQ(Counter::destroyed.load(), 1);
  static id immortal = objc_makeImmortal(class_createInstance(cls, 0));
  objc_release(immortal);
  objc_release(immortal);
  EXPECT_EQ(Counter::destroyed.load(), 1);
}

namespace {

Class makeClassWithIvars(const char* name, Class superclass, std::initializer_list<std::pair<const char*, size_t>> ivars) {
  Class cls = objc_allocateClassPair(superclass, name, 0);
  for (auto& [ivar, size] : ivars) {
    uint8_t alignment = 0;
    while ((size_t{1} << (alignment + 1)) <= size && alignment < 3) ++alignment;
    EXPECT_TRUE(class_addIvar(cls, ivar, size, alignment, size == sizeof(id) ? "@" : "c")) << ivar;
  }
  objc_registerClassPair(cls);
  return cls;
}

long* slot(id object, Ivar ivar) { return reinterpret_cast<long*>(reinterpret_cast<char*>(object) + ivar_getOffset(ivar)); }

id copyCounter(id self, SEL) {
  // A copy is a fresh instance of the same class.
  return class_createInstance(object_getClass(self), 0);
}

}  // namespace

TEST(RuntimeIvars, SubclassIvarsFollowTheSuperclassAndTheCppObject) {
  Class counter = objc_registerCppClass<Counter>("Counter", NSObject::class_());
  Class base = makeClassWithIvars("IvarBase", counter, {{"first", 8}, {"flag", 1}});
  Class derived = makeClassWithIvars("IvarDerived", base, {{"second", 8}});
  Ivar first = class_getInstanceVariable(derived, "first");
  Ivar flag = class_getInstanceVariable(derived, "flag");
  Ivar second = class_getInstanceVariable(derived, "second");
  ASSERT_TRUE(first && flag && second);
  EXPECT_EQ(class_getInstanceVariable(base, "second"), nullptr) << "a superclass does not see its subclass's ivars";
  EXPECT_STREQ(ivar_getName(second), "second");
  EXPECT_GE(ivar_getOffset(first), static_cast<ptrdiff_t>(sizeof(Counter)));
  EXPECT_GT(ivar_getOffset(second), ivar_getOffset(flag));
  EXPECT_EQ(ivar_getOffset(second) % 8, 0) << "aligned after the one-byte ivar";
  EXPECT_GE(class_getInstanceSize(derived), static_cast<size_t>(ivar_getOffset(second)) + 8);

  // Every ivar is its own storage, zero in a new instance, and the C++ object is untouched.
  {
    auto object = objc_createObject(derived);
    EXPECT_EQ(*slot(object.get(), first), 0);
    EXPECT_EQ(*slot(object.get(), second), 0);
    *slot(object.get(), first) = -1;
    *slot(object.get(), second) = 42;
    *reinterpret_cast<char*>(slot(object.get(), flag)) = 1;
    EXPECT_EQ(*slot(object.get(), first), -1);
    EXPECT_EQ(*slot(object.get(), second), 42);
    EXPECT_EQ(object->retainCount.load(), 1);
    EXPECT_EQ(object_getClass(object.get()), derived);
  }
  EXPECT_EQ(Counter::destroyed.load(), 1) << "the C++ object of the allocator is destroyed with it";
}

TEST(RuntimeIvars, ObjectIvarsAreAssignedWithoutOwnership) {
  Class holder = makeClassWithIvars("Holder", NSObject::class_(), {{"held", sizeof(id)}});
  Ivar held = class_getInstanceVariable(holder, "held");
  auto object = objc_createObject(holder);
  auto value = objc_createObject(NSObject::class_());
  EXPECT_EQ(object_getIvar(object.get(), held), nullptr);
  object_setIvar(object.get(), held, value.get());
  EXPECT_EQ(object_getIvar(object.get(), held), value.get());
  EXPECT_EQ(value->retainCount.load(), 1);
  EXPECT_STREQ(ivar_getTypeEncoding(held), "@");
}

TEST(RuntimeIvars, OnlyAClassUnderConstructionTakesNewIvars) {
  Class cls = objc_allocateClassPair(NSObject::class_(), "Building", 0);
  EXPECT_TRUE(class_addIvar(cls, "value", 8, 3, "q"));
  EXPECT_FALSE(class_addIvar(cls, "value", 8, 3, "q")) << "a name twice";
  EXPECT_FALSE(class_addIvar(cls, "huge", 8, 12, "q")) << "an alignment the allocator cannot give";
  EXPECT_EQ(objc_allocateClassPair(cls, "TooEarly", 0), nullptr) << "a subclass of a class not yet registered";
  objc_registerClassPair(cls);
  EXPECT_FALSE(class_addIvar(cls, "late", 8, 3, "q"));
  EXPECT_EQ(class_getInstanceVariable(cls, "late"), nullptr);
  EXPECT_THROW(objc_registerCppClass<Counter>("CppAfterIvars", cls), std::logic_error)
      << "a C++ type would overlap the runtime's ivars";
}

TEST(RuntimeAssociations, RetainedValuesAreReleasedWithTheObject) {
  Class counter = objc_registerCppClass<Counter>("Counter", NSObject::class_());
  static const char key = 0, otherKey = 0;
  {
    auto owner = objc_createObject(NSObject::class_());
    {
      auto value = objc_createObject(counter);
      objc_setAssociatedObject(owner.get(), &key, value.get(), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
      EXPECT_EQ(value->retainCount.load(), 2);
    }
    EXPECT_EQ(Counter::destroyed.load(), 0) << "the association keeps it";
    EXPECT_STREQ(object_getClassName(objc_getAssociatedObject(owner.get(), &key)), "Counter");
    EXPECT_EQ(objc_getAssociatedObject(owner.get(), &otherKey), nullptr);
  }
  EXPECT_EQ(Counter::destroyed.load(), 1) << "released when the owner was freed";
}

TEST(RuntimeAssociations, ReplacingOrClearingReleasesTheOldValueAndAssignDoesNotOwn) {
  Class counter = objc_registerCppClass<Counter>("Counter", NSObject::class_());
  static const char key = 0;
  auto owner = objc_createObject(NSObject::class_());
  objc_setAssociatedObject(owner.get(), &key, objc_createObject(counter).get(), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
  objc_setAssociatedObject(owner.get(), &key, objc_createObject(counter).get(), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
  EXPECT_EQ(Counter::destroyed.load(), 1) << "the replaced value";
  objc_setAssociatedObject(owner.get(), &key, nullptr, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
  EXPECT_EQ(Counter::destroyed.load(), 2) << "nil removes and releases";
  EXPECT_EQ(objc_getAssociatedObject(owner.get(), &key), nullptr);

  auto weak = objc_createObject(counter);
  objc_setAssociatedObject(owner.get(), &key, weak.get(), OBJC_ASSOCIATION_ASSIGN);
  EXPECT_EQ(weak->retainCount.load(), 1);
  objc_removeAssociatedObjects(owner.get());
  EXPECT_EQ(weak->retainCount.load(), 1) << "an assigned value is not released either";
  EXPECT_EQ(objc_getAssociatedObject(owner.get(), &key), nullptr);
}

TEST(RuntimeAssociations, CopyPoliciesStoreTheValuesCopy) {
  Class copyable = makeClass("Copyable", NSObject::class_());
  class_addMethod(copyable, sel_registerName("copy"), reinterpret_cast<IMP>(&copyCounter), "@@:");
  static const char key = 0;
  auto owner = objc_createObject(NSObject::class_());
  auto original = objc_createObject(copyable);
  objc_setAssociatedObject(owner.get(), &key, original.get(), OBJC_ASSOCIATION_COPY_NONATOMIC);
  id stored = objc_getAssociatedObject(owner.get(), &key);
  EXPECT_NE(stored, original.get());
  EXPECT_EQ(object_getClass(stored), copyable);
  EXPECT_EQ(original->retainCount.load(), 1);
  EXPECT_THROW(objc_setAssociatedObject(owner.get(), &key, owner.get(), OBJC_ASSOCIATION_COPY), NSInvalidArgumentException)
      << "NSObject answers no copy";
  EXPECT_EQ(objc_getAssociatedObject(owner.get(), &key), stored) << "a failed set keeps what was there";
}

TEST(RuntimeAssociations, AtomicGetterHandsOutAValueThatOutlivesItsReplacement) {
  Class counter = objc_registerCppClass<Counter>("Counter", NSObject::class_());
  static const char key = 0;
  auto owner = objc_createObject(NSObject::class_());
  {
    AutoreleasePool pool;
    objc_setAssociatedObject(owner.get(), &key, objc_createObject(counter).get(), OBJC_ASSOCIATION_RETAIN);
    id value = objc_getAssociatedObject(owner.get(), &key);
    objc_setAssociatedObject(owner.get(), &key, nullptr, OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(Counter::destroyed.load(), 0);
    EXPECT_EQ(object_getClass(value), counter);
  }
  EXPECT_EQ(Counter::destroyed.load(), 1);
}

TEST(RuntimeAssociations, ConcurrentOwnersKeepTheirOwnValues) {
  Class counter = objc_registerCppClass<Counter>("Counter", NSObject::class_());
  static const char key = 0;
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        auto owner = objc_createObject(NSObject::class_());
        auto value = objc_createObject(counter);
        objc_setAssociatedObject(owner.get(), &key, value.get(), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        if (objc_getAssociatedObject(owner.get(), &key) != value.get()) ++mismatches;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(Counter::destroyed.load(), 800);
}

namespace {

class Page : public NSObject {
 public:
  static Class class_() { return objc_getClass("Page"); }
  long& visits() { return objc::instanceVariable<long>(this, "visits"); }
  void visit() { ++visits(); }
};

}  // namespace

TEST(RuntimeDefinedClass, MembersReachTheirOwnInstanceVariablesThroughTheRuntime) {
  Class page = objc::defineClass({.name = "Page",
                                  .superclass = NSObject::class_(),
                                  .ivars = {objc::InstanceVariable<long>{"visits"}},
                                  .methods = {objc::method<&Page::visit>("visit")}});
  Class subpage =
      objc::defineClass({.name = "Subpage", .superclass = page, .ivars = {objc::InstanceVariable<char>{"flag"}}});
  EXPECT_EQ(objc::defineClass({.name = "Page", .superclass = NSObject::class_(), .methods = {objc::method<&Page::visit>("other")}}),
            page);
  EXPECT_FALSE(class_respondsToSelector(page, sel_registerName("other"))) << "defined twice";
  auto first = objc::make<Page>(subpage, "init");
  auto second = objc::make<Page>(page, "init");
  ASSERT_TRUE(first && second);
  objc::send(first.get(), "visit");
  objc::send(first.get(), "visit");
  objc::send(second.get(), "visit");
  EXPECT_EQ(first->visits(), 2);
  EXPECT_EQ(second->visits(), 1);
  EXPECT_STREQ(object_getClassName(first.get()), "Subpage");
}

TEST(RuntimeDefinedClass, AMissingOrMistypedInstanceVariableIsAClearError) {
  Class cls = objc::defineClass(
      {.name = "Page", .superclass = NSObject::class_(), .ivars = {objc::InstanceVariable<long>{"visits"}}});
  auto page = objc::make<NSObject>(cls, "init");
  try {
    objc::instanceVariable<NSObject*>(page.get(), "visits");
    FAIL() << "read as an object";
  } catch (const NSInvalidArgumentException& error) {
    EXPECT_NE(std::string(error.what()).find("visits of Page"), std::string::npos) << error.what();
  }
  EXPECT_THROW(objc::instanceVariable<long>(page.get(), "missing"), NSInvalidArgumentException);
}

TEST(RuntimeDefinedClass, MakeRefusesAnObjectOfAnotherRuntimeClass) {
  Class counter = objc_registerCppClass<Counter>("Counter", NSObject::class_());
  Class plain = objc::defineClass({.name = "PlainCounter", .superclass = counter});
  objc::defineClass({.name = "Page", .superclass = NSObject::class_()});
  EXPECT_FALSE(objc::make<Page>(plain, "init")) << "a Counter is no Page";
  EXPECT_EQ(Counter::destroyed.load(), 1) << "and the refused instance is freed";
  EXPECT_TRUE(objc::make<NSObject>(plain, "init"));
}

TEST(RuntimeProtocols, AProtocolIsFoundOnceRegisteredAndConformanceIsInherited) {
  Protocol* pending = objc_allocateProtocol("Listening");
  ASSERT_TRUE(pending);
  EXPECT_EQ(objc_getProtocol("Listening"), nullptr);
  EXPECT_EQ(objc_allocateProtocol("Listening"), nullptr) << "one protocol per name";
  objc_registerProtocol(pending);
  EXPECT_EQ(objc_getProtocol("Listening"), pending);
  EXPECT_STREQ(protocol_getName(pending), "Listening");
  EXPECT_EQ(objc_getProtocol("Nobody"), nullptr);

  Class listener = makeClass("Listener", NSObject::class_());
  Class keen = makeClass("KeenListener", listener);
  EXPECT_TRUE(class_addProtocol(listener, pending));
  EXPECT_FALSE(class_addProtocol(listener, pending)) << "declared already";
  EXPECT_TRUE(class_conformsToProtocol(listener, pending));
  EXPECT_FALSE(class_conformsToProtocol(keen, pending)) << "the class alone is asked, as on the platform";
  EXPECT_FALSE(class_conformsToProtocol(NSObject::class_(), pending));

  Retained<NSObject> object = objc_createObject(keen);
  EXPECT_TRUE(object->conformsToProtocol(pending)) << "an instance answers for its superclasses too";
  EXPECT_TRUE(objc::send<bool>(object.get(), "conformsToProtocol:", pending));
  EXPECT_FALSE(objc_createObject(NSObject::class_())->conformsToProtocol(pending));
  EXPECT_FALSE(object->conformsToProtocol(nullptr));
}

TEST(RuntimePools, AnInnerPoolPushedOnAnEmptyOneLeavesTheOuterOneDraining) {
  Class counter = objc_registerCppClass<Counter>("Counter", NSObject::class_());
  int before = Counter::destroyed.load();
  {
    AutoreleasePool outer;
    { AutoreleasePool inner; }
    objc_createObject(counter).autorelease();
    EXPECT_EQ(Counter::destroyed.load(), before) << "held by the outer pool";
  }
  EXPECT_EQ(Counter::destroyed.load(), before + 1) << "the outer pool drained it";
}
