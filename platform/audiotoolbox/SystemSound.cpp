#include <condition_variable>
#include <mutex>
#include <unordered_map>

#include "platform/audiotoolbox/AudioToolbox.h"
#include "platform/audiotoolbox/SoundFile.h"
#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"

// On the simulated device a sound is the file at the URL's device path. Only
// regular files of 1 kHz to 192 kHz with one to eight channels play, and the
// 30-second limit is judged by a file's declared length first. Playing returns
// once the speaker log holds the sound's line.

namespace {

struct SystemSound {
  std::shared_ptr<const speaker::Clip> clip;
  AudioServicesSystemSoundCompletionProc completion = nullptr;
  void* clientData = nullptr;
};

struct Registry {
  std::mutex mutex;
  std::unordered_map<SystemSoundID, SystemSound> sounds;
  // Ids 1000 to 4095 are the platform's own sounds.
  SystemSoundID nextID = 4097;
  // The sound whose completion is running on the speaker thread, or 0.
  SystemSoundID completing = 0;
  std::condition_variable completionReturned;

  // Waits until the sound's completion is not running, unless it is this thread that runs it.
  void awaitCompletion(std::unique_lock<std::mutex>& lock, SystemSoundID sound) {
    if (speaker::onSpeakerThread()) return;
    completionReturned.wait(lock, [&] { return completing != sound; });
  }
};

// Never destroyed: the speaker thread may still finish sounds during exit.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

void soundEnded(SystemSoundID sound) {
  Registry& sounds = registry();
  std::unique_lock lock(sounds.mutex);
  auto found = sounds.sounds.find(sound);
  if (found == sounds.sounds.end() || !found->second.completion) return;
  auto completion = found->second.completion;
  void* clientData = found->second.clientData;
  sounds.completing = sound;
  lock.unlock();
  completion(sound, clientData);
  lock.lock();
  sounds.completing = 0;
  lock.unlock();
  sounds.completionReturned.notify_all();
}

}  // namespace

extern "C" {

OSStatus AudioServicesCreateSystemSoundID(CFURLRef inFileURL, SystemSoundID* outSystemSoundID) {
  if (!inFileURL || !outSystemSoundID) return kAudio_ParamError;
  std::shared_ptr<const speaker::Clip> clip;
  if (OSStatus status = soundfile::load(inFileURL->path(), clip); status != kAudioServicesNoError) return status;
  Registry& sounds = registry();
  std::lock_guard lock(sounds.mutex);
  SystemSoundID sound = sounds.nextID++;
  sounds.sounds.emplace(sound, SystemSound{std::move(clip), nullptr, nullptr});
  *outSystemSoundID = sound;
  return kAudioServicesNoError;
}

void AudioServicesPlaySystemSound(SystemSoundID inSystemSoundID) {
  std::shared_ptr<const speaker::Clip> clip;
  {
    Registry& sounds = registry();
    std::lock_guard lock(sounds.mutex);
    auto found = sounds.sounds.find(inSystemSoundID);
    if (found == sounds.sounds.end()) return;
    clip = found->second.clip;
  }
  if (device::setting("Ringer") == "silent") {
    speaker::skip(inSystemSoundID, soundEnded);
  } else {
    speaker::play(inSystemSoundID, std::move(clip), soundEnded);
  }
}

OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID inSystemSoundID) {
  Registry& sounds = registry();
  {
    std::unique_lock lock(sounds.mutex);
    if (!sounds.sounds.contains(inSystemSoundID)) return kAudioServicesSystemSoundUnspecifiedError;
    sounds.awaitCompletion(lock, inSystemSoundID);
    // Another thread may have disposed of it while this one waited.
    if (sounds.sounds.erase(inSystemSoundID) == 0) return kAudioServicesSystemSoundUnspecifiedError;
  }
  return kAudioServicesNoError;
}

OSStatus AudioServicesAddSystemSoundCompletion(SystemSoundID inSystemSoundID, void* /*inRunLoop*/,
                                               CFStringRef /*inRunLoopMode*/,
                                               AudioServicesSystemSoundCompletionProc inCompletionRoutine,
                                               void* inClientData) {
  if (!inCompletionRoutine) return kAudio_ParamError;
  Registry& sounds = registry();
  std::lock_guard lock(sounds.mutex);
  auto found = sounds.sounds.find(inSystemSoundID);
  if (found == sounds.sounds.end()) return kAudioServicesSystemSoundUnspecifiedError;
  found->second.completion = inCompletionRoutine;
  found->second.clientData = inClientData;
  return kAudioServicesNoError;
}

void AudioServicesRemoveSystemSoundCompletion(SystemSoundID inSystemSoundID) {
  Registry& sounds = registry();
  std::unique_lock lock(sounds.mutex);
  sounds.awaitCompletion(lock, inSystemSoundID);
  auto found = sounds.sounds.find(inSystemSoundID);
  if (found == sounds.sounds.end()) return;
  found->second.completion = nullptr;
  found->second.clientData = nullptr;
}

}  // extern "C"
