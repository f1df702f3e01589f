// Built against the device face alone: every call below is a send that the
// stand-in's runtime answers by selector, as a phone's frameworks would.

#include <gtest/gtest.h>

#include "platform/foundation/Foundation.h"

namespace {

TEST(DeviceFace, StringsAnswerBySelector) {
  AutoreleasePool pool;
  Retained<NSString> name = NSString::stringWithUTF8String("Mac Volume");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->length(), 10u);
  EXPECT_EQ(name->utf8(), "Mac Volume");
  EXPECT_TRUE(name->isKindOfClass(NSString::class_()));
}

}  // namespace
