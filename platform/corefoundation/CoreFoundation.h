#pragma once

#include <cstdint>

#include "platform/corefoundation/CFBase.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"

#define CFSTR(literal) (::NSString::constant(literal))

/// Reads kCFCoreFoundationVersionNumber afresh from the device (after the device root changes).
void CFRefreshCoreFoundationVersionNumber();

extern "C" {
/// The Darwin notify centre: a post in any process of the device reaches every
/// process of the device that observes the name. Callbacks run on the centre's
/// own delivery thread; posts that arrive while a callback for the name is
/// still pending are delivered once. Object and user information do not cross.
CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter(void);
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name, const void* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior);
void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer);
void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
                                          CFDictionaryRef userInfo, Boolean deliverImmediately);
}
