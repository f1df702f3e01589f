#pragma once

#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"

// CoreFoundation's types are bridged to Foundation's classes; the functions
// have C linkage, so the C++ type of a reference changes nothing on the device.

typedef unsigned char Boolean;
typedef NSString* CFStringRef;
typedef NSURL* CFURLRef;
typedef NSDictionary* CFDictionaryRef;
typedef long CFIndex;
typedef double CFTimeInterval;

/// A constant string the compiler lays out, as CoreFoundation's own CFSTR does; a string literal only.
#define CFSTR(literal) (reinterpret_cast<CFStringRef>(const_cast<void*>( \
    static_cast<const void*>(__builtin___CFStringMakeConstantString("" literal "")))))

extern "C" double kCFCoreFoundationVersionNumber;

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
CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter(void);
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name, const void* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior);
void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer);
void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
                                          CFDictionaryRef userInfo, Boolean deliverImmediately);
}
