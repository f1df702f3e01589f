#include "platform/social/SLComposeViewController.h"

#include <fmt/format.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"

NSString* const SLServiceTypeTwitter = NSSTR("com.apple.social.twitter");

Class SLComposeViewController::class_() {
  static Class cls = objc_registerCppClass<SLComposeViewController>("SLComposeViewController", UIViewController::class_());
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
