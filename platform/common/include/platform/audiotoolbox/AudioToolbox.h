#pragma once

#include "platform/corefoundation/CoreFoundation.h"

// AudioToolbox's system sounds, as the device declares them; the simulated
// device plays them on its speaker (see platform/audiotoolbox).

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

namespace audiotoolbox {
constexpr OSStatus fourCharCode(const char (&code)[5]) {
  return static_cast<OSStatus>((static_cast<UInt32>(static_cast<unsigned char>(code[0])) << 24) |
                               (static_cast<UInt32>(static_cast<unsigned char>(code[1])) << 16) |
                               (static_cast<UInt32>(static_cast<unsigned char>(code[2])) << 8) |
                               static_cast<UInt32>(static_cast<unsigned char>(code[3])));
}
}  // namespace audiotoolbox

enum : OSStatus {
  kAudioServicesNoError = 0,
  kAudio_ParamError = -50,
  kAudioFileFileNotFoundError = -43,
  kAudioFilePermissionsError = -54,
  kAudioFileUnsupportedFileTypeError = audiotoolbox::fourCharCode("typ?"),
  kAudioFileInvalidFileError = audiotoolbox::fourCharCode("dta?"),
  kAudioServicesSystemSoundUnspecifiedError = -1500,
  kAudioServicesSystemSoundExceededMaximumDurationError = -1502,
};

extern "C" {

/// Takes the sound file at the URL as it is now; later changes to the file do
/// not affect the sound. Files longer than 30 seconds are refused with
/// kAudioServicesSystemSoundExceededMaximumDurationError.
OSStatus AudioServicesCreateSystemSoundID(CFURLRef inFileURL, SystemSoundID* outSystemSoundID);

/// Starts the sound and returns at once. A sound still playing is cut off.
/// While the ringer switch is on silent nothing plays, but the completion still runs.
void AudioServicesPlaySystemSound(SystemSoundID inSystemSoundID);

/// Once this returns, the sound's completion is not running on another thread
/// and will not run again. A completion may dispose of its own sound.
OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID inSystemSoundID);

/// The completion runs once a play of the sound has finished, been cut off or
/// been silenced (on the simulated device on the speaker's thread: the run
/// loop and mode are not used).
OSStatus AudioServicesAddSystemSoundCompletion(SystemSoundID inSystemSoundID, void* inRunLoop,
                                               CFStringRef inRunLoopMode,
                                               AudioServicesSystemSoundCompletionProc inCompletionRoutine,
                                               void* inClientData);

/// Once this returns, the completion is not running on another thread and will not run again.
void AudioServicesRemoveSystemSoundCompletion(SystemSoundID inSystemSoundID);
}
