#pragma once

#include "platform/corefoundation/CoreFoundation.h"

#if __LP64__
typedef unsigned int UInt32;
typedef signed int SInt32;
#else
typedef unsigned long UInt32;
typedef signed long SInt32;
#endif
typedef UInt32 SystemSoundID;
typedef SInt32 OSStatus;
typedef void (*AudioServicesSystemSoundCompletionProc)(SystemSoundID ssID, void* clientData);

enum : OSStatus {
  kAudioServicesNoError = 0,
  kAudioServicesSystemSoundUnspecifiedError = -1500,
  kAudioServicesSystemSoundExceededMaximumDurationError = -1502,
};

extern "C" {
OSStatus AudioServicesCreateSystemSoundID(CFURLRef inFileURL, SystemSoundID* outSystemSoundID);
void AudioServicesPlaySystemSound(SystemSoundID inSystemSoundID);
OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID inSystemSoundID);
OSStatus AudioServicesAddSystemSoundCompletion(SystemSoundID inSystemSoundID, void* inRunLoop,
                                               CFStringRef inRunLoopMode,
                                               AudioServicesSystemSoundCompletionProc inCompletionRoutine,
                                               void* inClientData);
void AudioServicesRemoveSystemSoundCompletion(SystemSoundID inSystemSoundID);
}
