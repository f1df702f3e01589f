#pragma once

#include <cstdint>

#include "platform/corefoundation/CoreFoundation.h"

typedef std::uint32_t SystemSoundID;
typedef std::int32_t OSStatus;
typedef void (*AudioServicesSystemSoundCompletionProc)(SystemSoundID ssID, void* clientData);

namespace audiotoolbox {
constexpr OSStatus fourCharCode(const char (&code)[5]) {
  return static_cast<OSStatus>((static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
                               static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])));
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

/// Takes the sound file at the URL's device path as it is now; later changes
/// to the file do not affect the sound. Only regular files of 1 kHz to 192 kHz
/// with one to eight channels play; files longer than 30 seconds are refused
/// with kAudioServicesSystemSoundExceededMaximumDurationError, judged by their
/// declared length first.
OSStatus AudioServicesCreateSystemSoundID(CFURLRef inFileURL, SystemSoundID* outSystemSoundID);

/// Starts the sound on the device's speaker and returns at once; the speaker
/// log holds its line by then. A sound still playing is cut off. While the
/// ringer switch is on silent nothing plays, but the completion still runs.
void AudioServicesPlaySystemSound(SystemSoundID inSystemSoundID);

/// Once this returns, the sound's completion is not running on another thread
/// and will not run again. A completion may dispose of its own sound.
OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID inSystemSoundID);

/// The completion runs on the speaker's thread (the run loop and mode are not
/// used) once a play of the sound has finished, been cut off or been silenced.
OSStatus AudioServicesAddSystemSoundCompletion(SystemSoundID inSystemSoundID, void* inRunLoop,
                                               CFStringRef inRunLoopMode,
                                               AudioServicesSystemSoundCompletionProc inCompletionRoutine,
                                               void* inClientData);

/// Once this returns, the completion is not running on another thread and will not run again.
void AudioServicesRemoveSystemSoundCompletion(SystemSoundID inSystemSoundID);
}
