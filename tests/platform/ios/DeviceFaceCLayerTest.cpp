// The C functions the face declares, called from code built against the face
// alone: each links to the stand-in by its platform name and does its work.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/objc/AutoreleasePool.h"
#include "../../support/TemporaryDevice.h"
#include "FaceLeakCheck.h"
#include "platform/audiotoolbox/AudioToolbox.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/Foundation.h"
#include "platform/mobilegestalt/MobileGestalt.h"
#include "platform/substrate/CydiaSubstrate.h"
#include "support/Objects.h"

namespace {

using namespace std::chrono_literals;

/// Waits, for at most a few seconds, until `done` holds; what callbacks on other threads changed.
struct Waiter {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;

  void bump() {
    std::lock_guard lock(mutex);
    ++count;
    changed.notify_all();
  }
  bool waitFor(int expected) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, 5s, [&] { return count >= expected; });
  }
};

TEST(DeviceFaceCLayer, DispatchOnceRunsTheBlockOnceForAllThreads) {
  static dispatch_once_t predicate = 0;
  int runs = 0;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&] { dispatch_once(&predicate, [&] { ++runs; }); });
  for (auto& thread : threads) thread.join();
  dispatch_once(&predicate, [&] { ++runs; });
  EXPECT_EQ(runs, 1);

  dispatch_once_t other = 0;
  int context = 0;
  dispatch_once_f(&other, &context, [](void* value) { ++*static_cast<int*>(value); });
  dispatch_once_f(&other, &context, [](void* value) { ++*static_cast<int*>(value); });
  EXPECT_EQ(context, 1);
}

TEST(DeviceFaceCLayer, MobileGestaltAnswersOwnedByTheCaller) {
  testsupport::TemporaryDevice device;
  // An answer adopted by the caller is freed with it.
  facetest::expectNoLeak([] {
    auto model = Retained<NSObject>::adopt(MGCopyAnswer(NSSTR("ProductType")));
    auto* name = orvane::as<NSString>(model.get());
    ASSERT_TRUE(name);
    EXPECT_EQ(orvane::utf8(name).rfind("iP", 0), 0u) << orvane::utf8(name);
    auto version = Retained<NSObject>::adopt(MGCopyAnswer(NSSTR("ProductVersion")));
    EXPECT_TRUE(orvane::as<NSString>(version.get()));
    EXPECT_EQ(MGCopyAnswer(NSSTR("NoSuchQuestion")), nullptr);
    EXPECT_EQ(MGCopyAnswer(nullptr), nullptr);
  });
}

std::string hookTrace;
void (*originalPing)(id, SEL);

TEST(DeviceFaceCLayer, SubstrateHooksAMethodAndHandsBackTheOriginal) {
  Class cls = objc_allocateClassPair(NSObject::class_(), "FaceHookTarget", 0);
  class_addMethod(cls, ORVANE_SEL("ping"), reinterpret_cast<IMP>(+[](id, SEL) { hookTrace += "original "; }), "v@:");
  objc_registerClassPair(cls);
  Retained<NSObject> target = objc::allocInit<NSObject>(cls, ORVANE_SEL("init"));

  IMP old = nullptr;
  MSHookMessageEx(cls, ORVANE_SEL("ping"), reinterpret_cast<IMP>(+[](id self, SEL command) {
                    hookTrace += "hook ";
                    originalPing(self, command);
                  }),
                  &old);
  ASSERT_NE(old, nullptr);
  originalPing = reinterpret_cast<void (*)(id, SEL)>(old);
  objc::sendMessage<void>(target.get(), ORVANE_SEL("ping"));
  EXPECT_EQ(hookTrace, "hook original ");

  IMP none = reinterpret_cast<IMP>(1);
  MSHookMessageEx(cls, ORVANE_SEL("neverDefined"), reinterpret_cast<IMP>(+[](id, SEL) {}), &none);
  EXPECT_EQ(none, nullptr);
}

struct Heard {
  Waiter waiter;
  std::string name;
};

TEST(DeviceFaceCLayer, DarwinNotificationsReachTheirObserver) {
  testsupport::TemporaryDevice device;
  CFNotificationCenterRef center = CFNotificationCenterGetDarwinNotifyCenter();
  ASSERT_NE(center, nullptr);
  Heard heard;
  CFNotificationCenterAddObserver(
      center, &heard,
      [](CFNotificationCenterRef, void* observer, CFStringRef name, const void*, CFDictionaryRef) {
        auto* into = static_cast<Heard*>(observer);
        {
          std::lock_guard lock(into->waiter.mutex);
          into->name = name ? orvane::utf8(name) : "(nil)";
        }
        into->waiter.bump();
      },
      NSSTR("com.quillmark.face-test/changed"), nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
  CFNotificationCenterPostNotification(center, NSSTR("com.quillmark.face-test/changed"), nullptr, nullptr, true);
  ASSERT_TRUE(heard.waiter.waitFor(1));
  {
    std::lock_guard lock(heard.waiter.mutex);
    EXPECT_EQ(heard.name, "com.quillmark.face-test/changed");
  }
  CFNotificationCenterRemoveEveryObserver(center, &heard);
}

/// A 16-bit mono WAV of `frames` silent frames at 8 kHz.
std::string silentWave(std::uint32_t frames) {
  auto little = [](std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
  };
  std::uint32_t dataBytes = frames * 2;
  return "RIFF" + little(36 + dataBytes, 4) + "WAVEfmt " + little(16, 4) + little(1, 2) + little(1, 2) +
         little(8000, 4) + little(16000, 4) + little(2, 2) + little(16, 2) + "data" + little(dataBytes, 4) +
         std::string(dataBytes, '\0');
}

TEST(DeviceFaceCLayer, SystemSoundsPlayAndReportTheirCompletion) {
  testsupport::TemporaryDevice device;
  testsupport::writeFile(device.host("/Library/Application Support/Orvane/Tick.wav"), silentWave(80));
  AutoreleasePool pool;
  Retained<NSURL> url = NSURL::fileURLWithPath(NSSTR("/Library/Application Support/Orvane/Tick.wav"));
  SystemSoundID sound = 0;
  ASSERT_EQ(AudioServicesCreateSystemSoundID(url.get(), &sound), kAudioServicesNoError);
  EXPECT_NE(sound, 0u);

  Waiter finished;
  ASSERT_EQ(AudioServicesAddSystemSoundCompletion(
                sound, nullptr, nullptr, [](SystemSoundID, void* waiter) { static_cast<Waiter*>(waiter)->bump(); },
                &finished),
            kAudioServicesNoError);
  AudioServicesPlaySystemSound(sound);
  EXPECT_TRUE(finished.waitFor(1)) << "the completion never ran";
  AudioServicesRemoveSystemSoundCompletion(sound);
  EXPECT_EQ(AudioServicesDisposeSystemSoundID(sound), kAudioServicesNoError);

  Retained<NSURL> missing = NSURL::fileURLWithPath(NSSTR("/Library/Application Support/Orvane/None.wav"));
  SystemSoundID none = 0;
  EXPECT_NE(AudioServicesCreateSystemSoundID(missing.get(), &none), kAudioServicesNoError);
}

}  // namespace
