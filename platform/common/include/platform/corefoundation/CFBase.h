#pragma once

// CoreFoundation's plain types, shared by both targets. They are bridged to
// Foundation's classes: a CFStringRef is an NSString, a CFURLRef an NSURL, a
// CFDictionaryRef an NSDictionary.

class NSDictionary;
class NSString;
class NSURL;

typedef unsigned char Boolean;
typedef NSString* CFStringRef;
typedef NSURL* CFURLRef;
typedef NSDictionary* CFDictionaryRef;
typedef long CFIndex;
typedef double CFTimeInterval;

/// The CoreFoundation version of the device, as the device's system version gives it.
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
