#pragma once

#include <functional>
#include <string>

#include "platform/foundation/NSString.h"
#include "platform/social/SocialTypes.h"
#include "platform/uikit/UIViewController.h"

/// The share sheet of a social service; available where the device has an
/// account of that service.
class SLComposeViewController : public UIViewController {
 public:
  using CompletionHandler = std::function<void(SLComposeViewControllerResult)>;

  static Class class_();
  static bool isAvailableForServiceType(NSString* serviceType);
  static Retained<SLComposeViewController> composeViewControllerForServiceType(NSString* serviceType);

  bool setInitialText(NSString* text);
  void setCompletionHandler(CompletionHandler handler) { completionHandler_ = std::move(handler); }

  NSString* serviceType() const { return serviceType_.get(); }
  NSString* text() const { return text_.get(); }

  // What the person does.
  /// Writes the post into the device's outbox and runs the completion handler; returns its device path.
  std::string post();
  void cancel();

 private:
  void finish(SLComposeViewControllerResult result);

  Retained<NSString> serviceType_, text_;
  CompletionHandler completionHandler_;
};
