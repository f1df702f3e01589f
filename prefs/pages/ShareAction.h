#pragma once

#include "platform/objc/Methods.h"
#include "platform/uikit/UIViewController.h"

// The share button that three pages carry at the right of their bar, and the
// post it offers. Written once; each page class answers "loadView" and
// "tweetSupport:" with it.
namespace orvane {

/// The page's right bar button: the compose icon, sending "tweetSupport:" to the page.
void installShareButton(UIViewController* page);
/// Offers the post through the Twitter share sheet, if the service is available.
void tweetSupport(UIViewController* page);

template <class Page>
void registerShareAction(Class cls) {
  auto loadView = [](id self, SEL) {
    objc::sendSuper(Page::class_(), self, "loadView");
    installShareButton(static_cast<UIViewController*>(self));
  };
  auto share = [](id self, SEL, id) { tweetSupport(static_cast<UIViewController*>(self)); };
  class_replaceMethod(cls, sel_registerName("loadView"), reinterpret_cast<IMP>(+loadView), "v@:");
  class_replaceMethod(cls, sel_registerName("tweetSupport:"), reinterpret_cast<IMP>(+share), "v@:@");
}

}  // namespace orvane
