#pragma once

#include <functional>

#include "platform/foundation/NSString.h"
#include "platform/objc/BlockLayout.h"
#include "platform/social/SocialTypes.h"
#include "platform/uikit/UIViewController.h"

class SLComposeViewController : public UIViewController {
 public:
  using CompletionHandler = std::function<void(SLComposeViewControllerResult)>;

  static Class class_() { return ORVANE_CLASS("SLComposeViewController"); }
  static bool isAvailableForServiceType(NSString* serviceType) {
    return objc::sendMessage<BOOL>(class_(), ORVANE_SEL("isAvailableForServiceType:"), serviceType);
  }
  static Retained<SLComposeViewController> composeViewControllerForServiceType(NSString* serviceType) {
    return objc::retain(objc::sendMessage<SLComposeViewController*>(
        class_(), ORVANE_SEL("composeViewControllerForServiceType:"), serviceType));
  }
  bool setInitialText(NSString* text) { return objc::sendMessage<BOOL>(this, ORVANE_SEL("setInitialText:"), text); }
  /// The sheet copies the block, and with it its own copy of the handler.
  void setCompletionHandler(CompletionHandler handler) {
#if __BLOCKS__
    void (^block)(SLComposeViewControllerResult) = ^(SLComposeViewControllerResult result) {
      handler(result);
    };
    objc::sendMessage<void>(this, ORVANE_SEL("setCompletionHandler:"), handler ? block : static_cast<void (^)(SLComposeViewControllerResult)>(0));
#else
    objc::OwnedBlock<void(SLComposeViewControllerResult)> block(handler);
    objc::sendMessage<void>(this, ORVANE_SEL("setCompletionHandler:"), block.get());
#endif
  }
};
