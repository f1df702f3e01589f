#include "platform/social/SLComposeViewController.h"

#include <fmt/format.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/objc/BlockLayout.h"
#include "platform/objc/Methods.h"

NSString* const SLServiceTypeTwitter = NSSTR("com.apple.social.twitter");

Class SLComposeViewController::class_() {
  static Class cls = [] {
    Class registered =
        objc_registerCppClass<SLComposeViewController>("SLComposeViewController", UIViewController::class_());
    objc::addClassFunction(registered, "isAvailableForServiceType:",
                           +[](Class, SEL, NSString* serviceType) -> BOOL { return isAvailableForServiceType(serviceType); });
    objc::addClassFunction(registered, "composeViewControllerForServiceType:",
                           +[](Class, SEL, NSString* serviceType) -> SLComposeViewController* {
                             return composeViewControllerForServiceType(serviceType).autorelease();
                           });
    objc::addMethod<&SLComposeViewController::setInitialText>(registered, "setInitialText:");
    objc::addFunction(registered, "setCompletionHandler:", +[](SLComposeViewController* self, SEL, BlockLiteral* block) {
      if (!block) return self->setCompletionHandler(nullptr);
      // The sheet keeps its own copy of the block until the handler is replaced or the sheet goes.
      std::shared_ptr<const BlockLiteral> kept(static_cast<const BlockLiteral*>(_Block_copy(block)), &_Block_release);
      self->setCompletionHandler(
          [kept](SLComposeViewControllerResult result) { objc::callBlock<void>(kept.get(), result); });
    });
    return registered;
  }();
  return cls;
}

bool SLComposeViewController::isAvailableForServiceType(NSString* serviceType) {
  return serviceType && serviceType->isEqualToString(SLServiceTypeTwitter) &&
         !device::setting("TwitterAccount").value_or("").empty();
}

Retained<SLComposeViewController> SLComposeViewController::composeViewControllerForServiceType(NSString* serviceType) {
  if (!serviceType) return nullptr;
  auto sheet = objc::alloc<SLComposeViewController>();
  sheet->serviceType_ = objc::retain(serviceType);
  return sheet;
}

bool SLComposeViewController::setInitialText(NSString* text) {
  text_ = objc::retain(text);
  return true;
}

std::string SLComposeViewController::post() {
  auto stamp = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
  std::string devicePath = fmt::format("/var/mobile/Library/Social/Outbox/{}-{}.json", stamp.count(), getpid());
  nlohmann::ordered_json record = {{"service", serviceType_ ? serviceType_->utf8() : ""},
                                   {"account", device::setting("TwitterAccount").value_or("")},
                                   {"text", text_ ? text_->utf8() : ""}};
  std::string host = device::hostPath(devicePath);
  bool written = files::makeDirectories(host.substr(0, host.rfind('/'))) &&
                 files::writeAtomically(host, record.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n",
                                        files::Durability::Flushed);
  finish(written ? SLComposeViewControllerResultDone : SLComposeViewControllerResultCancelled);
  return written ? devicePath : "";
}

void SLComposeViewController::cancel() { finish(SLComposeViewControllerResultCancelled); }

void SLComposeViewController::finish(SLComposeViewControllerResult result) {
  // The handler may dismiss the sheet and so drop the last reference to it and to itself.
  Retained<SLComposeViewController> keep = objc::retain(this);
  CompletionHandler handler = completionHandler_;
  if (handler) handler(result);
}

namespace {
[[maybe_unused]] const Class registered = SLComposeViewController::class_();
}
