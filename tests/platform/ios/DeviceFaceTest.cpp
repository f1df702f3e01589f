// Built against the device face alone: every call below is a send that the
// stand-in's runtime answers by selector, as a phone's frameworks would.

#include <gtest/gtest.h>

#include "platform/objc/AutoreleasePool.h"
#include "platform/audiotoolbox/AudioToolbox.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/Foundation.h"
#include "platform/messageui/MFMailComposeViewController.h"
#include "platform/mobilegestalt/MobileGestalt.h"
#include "platform/preferences/PSListController.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/social/SLComposeViewController.h"
#include "platform/substrate/CydiaSubstrate.h"
#include "platform/uikit/UIKit.h"
#include "support/Objects.h"

namespace {

TEST(DeviceFace, StringsAnswerBySelector) {
  AutoreleasePool pool;
  Retained<NSString> name = NSString::stringWithUTF8String("Mac Volume");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->length(), 10u);
  EXPECT_EQ(orvane::utf8(name), "Mac Volume");
  EXPECT_TRUE(name->isKindOfClass(NSString::class_()));
}

}  // namespace
