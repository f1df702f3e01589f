#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSString.h"
#include "platform/objc/NSObject.h"

// Ownership passes only through named calls: no raw pointer becomes an owner
// and no owner becomes a raw pointer without saying so.
static_assert(!std::is_convertible_v<NSObject*, Retained<NSObject>>);
static_assert(!std::is_constructible_v<Retained<NSObject>, NSObject*>);
static_assert(!std::is_convertible_v<Retained<NSObject>, NSObject*>);
static_assert(std::is_convertible_v<Retained<NSString>, Retained<NSObject>>);
static_assert(!std::is_convertible_v<Retained<NSObject>, Retained<NSString>>);

namespace {

long count(objc_object* object) { return object->retainCount.load(); }

/// An object kept alive by the test's own reference, so counts can be read after every owner is gone.
class RetainedTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(count(object), 1) << "every owner gave back exactly what it took";
    objc_release(object);
  }
  NSArray* object = objc::alloc<NSArray>().leak();
};

}  // namespace

TEST_F(RetainedTest, AdoptTakesOverAndRetainTakesANewReference) {
  {
    auto retained = Retained<NSArray>::retain(object);
    EXPECT_EQ(count(object), 2);
    auto adopted = objc::adopt(static_cast<NSArray*>(objc_retain(object)));
    EXPECT_EQ(count(object), 3);
    EXPECT_EQ(adopted.get(), retained.get());
    EXPECT_TRUE(adopted == retained);
  }
  EXPECT_EQ(count(object), 1);
  EXPECT_FALSE(Retained<NSArray>::retain(nullptr));
}

TEST_F(RetainedTest, CopiesMovesAndAssignmentsNeverReleaseTwice) {
  {
    auto first = objc::retain(object);
    Retained<NSArray> copy = first;
    EXPECT_EQ(count(object), 3);
    Retained<NSArray> moved = std::move(first);
    EXPECT_EQ(count(object), 3);
    EXPECT_TRUE(first == nullptr);
    Retained<NSObject> base = std::move(moved);  // to a base class, still one reference
    EXPECT_EQ(count(object), 3);
    copy = copy;
    EXPECT_EQ(count(object), 3);
    base = copy;
    EXPECT_EQ(count(object), 3) << "the old reference of `base` went as the new one came";
    copy = nullptr;
    EXPECT_EQ(count(object), 2);
    copy = std::move(copy);
  }
  EXPECT_EQ(count(object), 1);
}

TEST_F(RetainedTest, LeakGivesUpOwnershipAndAutoreleaseHandsItToThePool) {
  auto owner = objc::retain(object);
  NSArray* leaked = owner.leak();
  EXPECT_EQ(leaked, object);
  EXPECT_TRUE(owner == nullptr);
  EXPECT_EQ(count(object), 2) << "leak releases nothing";
  objc_release(leaked);
  {
    AutoreleasePool pool;
    auto pending = objc::retain(object);
    EXPECT_EQ(pending.autorelease(), object);
    EXPECT_EQ(count(object), 2) << "released only when the pool drains";
  }
  EXPECT_EQ(count(object), 1);
}

TEST_F(RetainedTest, ACheckedCastMovesTheReferenceOrLetsItGo) {
  {
    Retained<NSObject> general = objc::retain(object);
    Retained<NSString> wrong = objc_cast<NSString>(std::move(general));
    EXPECT_TRUE(wrong == nullptr);
    EXPECT_EQ(general.get(), object) << "a failed cast leaves the reference where it was";
    Retained<NSArray> right = objc_cast<NSArray>(std::move(general));
    EXPECT_EQ(right.get(), object);
    EXPECT_TRUE(general == nullptr);
    EXPECT_EQ(count(object), 2);
  }
  auto made = objc::alloc<NSString>();
  EXPECT_EQ(object_getClass(made.get()), NSString::class_());
  EXPECT_EQ(count(made.get()), 1);
}
