#pragma once

#include "platform/corefoundation/CFBase.h"

extern "C" {
/// The Darwin notify centre: a post in any process of the device reaches every
/// process of the device that observes the name. Object and user information
/// do not cross. On the simulated device callbacks run on the centre's own
/// delivery thread, and posts that arrive while a callback for the name is
/// still pending are delivered once.
CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter(void);
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name, const void* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior);
void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer);
void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
                                          CFDictionaryRef userInfo, Boolean deliverImmediately);
}
