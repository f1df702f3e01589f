#pragma once

#include "platform/objc/Methods.h"
#include "platform/uikit/UIViewController.h"
#include "prefs/Selectors.h"

// The share button that three pages carry at the right of their bar, and the
// post it offers. Written once; each page class answers "loadView" and
// "tweetSupport:" with it.
namespace orvane {

/// The page's right bar button: the compose icon, sending "tweetSupport:" to the page.
void installShareButton(UIViewController* page);
/// Offers the post through the Twitter share sheet, if the service is available.
void tweetSupport(UIViewController* page);

/// The page class's "loadView" and "tweetSupport:".
template <class Page>
objc::MethodList shareActionMethods() {
  auto loadView = [](UIViewController* self, SEL) {
    objc::sendSuper(Page::class_(), self, sel::loadView);
    installShareButton(self);
  };
  auto share = [](UIViewController* self, SEL, id) { tweetSupport(self); };
  return {objc::method(sel::loadView, +loadView), objc::method(sel::tweetSupport, +share)};
}

}  // namespace orvane
