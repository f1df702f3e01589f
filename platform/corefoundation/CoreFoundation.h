#pragma once

#include <cstdint>

#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"

// CoreFoundation's types are bridged to Foundation's classes: a CFStringRef
// is an NSString, a CFURLRef an NSURL, a CFDictionaryRef an NSDictionary.

typedef unsigned char Boolean;
typedef NSString* CFStringRef;
typedef NSURL* CFURLRef;
typedef NSDictionary* CFDictionaryRef;
typedef long CFIndex;
typedef double CFTimeInterval;

#define CFSTR(literal) (::NSString::constant(literal))

/// The CoreFoundation version of the device, as the device's system version gives it.
extern "C" double kCFCoreFoundationVersionNumber;

/// Reads kCFCoreFoundationVersionNumber afresh from the device (after the device root changes).
void CFRefreshCoreFoundationVersionNumber();

typedef struct __CFNotificationCenter* CFNotificationCenterRef;
typedef void (*CFNotificationCallback)(CFNotificationCenterRef center, void* observer, CFStringRef name,
                                       const void* object, CFDictionaryRef userInfo);

typedef enum : CFIndex {
  CFNotificationSuspensionBehaviorDrop = 1,
  CFNotificationSuspensionBehaviorCoalesce = 2,
  CFNotificationSuspensionBehaviorHold = 3,
  CFNotificationSuspensionBehaviorDeliverImmediately = 4,
} CFNotificationSuspensionBehavior;

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
