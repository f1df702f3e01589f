// From a press to the first sample at a PulseAudio null sink, against the
// floor (pa_context_play_sample of a cached sample on a kept connection) and
// libcanberra's cached play, on the same server in the same run. Run it
// through scripts/bench-audio, which starts a private server.

#include <benchmark/benchmark.h>
#include <pulse/pulseaudio.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#ifdef ORVANE_HAVE_CANBERRA
#include <canberra.h>
#endif

#include "bench/BenchSupport.h"
#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "platform/substrate/CydiaSubstrate.h"
#include "sim/springboard/VolumeControl.h"

namespace {

constexpr const char* kSoundDirectory = "/Library/Application Support/Orvane/";
constexpr int kMeasurements = 40;
// A server mixes at most 32 streams at once, and each play of the long theme
// stays a stream for 30 s: its floor and its presses together stay below that.
constexpr int kLongMeasurements = 12;

/// A connection of our own to the server: a monitor of the null sink that
/// notes when sound first arrives, and a kept context for the floor.
struct Server {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* monitor = nullptr;
  std::atomic<bool> armed{false};
  std::atomic<double> heardAt{0};
  std::atomic<double> lastSound{0};

  static void onRead(pa_stream* stream, size_t, void* self) {
    auto& server = *static_cast<Server*>(self);
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
      double now = bench::monotonicMicroseconds();
      if (data) {
        const auto* samples = static_cast<const float*>(data);
        for (size_t i = 0; i < bytes / sizeof(float); ++i) {
          if (std::fabs(samples[i]) < 1e-3f) continue;
          server.lastSound = now;
          if (server.armed.exchange(false)) server.heardAt = now;
          break;
        }
      }
      pa_stream_drop(stream);
    }
  }
  static void onState(pa_context*, void* self) { pa_threaded_mainloop_signal(static_cast<Server*>(self)->loop, 0); }
  static void onStreamState(pa_stream*, void* self) {
    pa_threaded_mainloop_signal(static_cast<Server*>(self)->loop, 0);
  }

  bool connect() {
    loop = pa_threaded_mainloop_new();
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "audio-benchmarks");
    pa_context_set_state_callback(context, onState, this);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    pa_threaded_mainloop_lock(loop);
    pa_threaded_mainloop_start(loop);
    while (PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) && pa_context_get_state(context) != PA_CONTEXT_READY)
      pa_threaded_mainloop_wait(loop);
    bool ready = pa_context_get_state(context) == PA_CONTEXT_READY;
    if (ready) {
      pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, 48000, 1};
      monitor = pa_stream_new(context, "monitor", &spec, nullptr);
      pa_stream_set_read_callback(monitor, onRead, this);
      pa_stream_set_state_callback(monitor, onStreamState, this);
      pa_buffer_attr attributes{static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1),
                                static_cast<uint32_t>(-1), 48 * sizeof(float)};
      pa_stream_connect_record(monitor, "null.monitor", &attributes, PA_STREAM_ADJUST_LATENCY);
      while (pa_stream_get_state(monitor) == PA_STREAM_CREATING) pa_threaded_mainloop_wait(loop);
      ready = pa_stream_get_state(monitor) == PA_STREAM_READY;
    }
    pa_threaded_mainloop_unlock(loop);
    return ready;
  }

  /// Uploads interleaved float samples as a cached sample of the server.
  void upload(const std::string& name, int rate, int channels, const std::vector<float>& samples) {
    pa_threaded_mainloop_lock(loop);
    pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(rate), static_cast<uint8_t>(channels)};
    pa_stream* stream = pa_stream_new(context, name.c_str(), &spec, nullptr);
    pa_stream_set_state_callback(stream, onStreamState, this);
    pa_stream_connect_upload(stream, samples.size() * sizeof(float));
    while (pa_stream_get_state(stream) == PA_STREAM_CREATING) pa_threaded_mainloop_wait(loop);
    pa_stream_write(stream, samples.data(), samples.size() * sizeof(float), nullptr, 0, PA_SEEK_RELATIVE);
    pa_stream_finish_upload(stream);
    while (pa_stream_get_state(stream) == PA_STREAM_READY) pa_threaded_mainloop_wait(loop);
    pa_stream_unref(stream);
    pa_threaded_mainloop_unlock(loop);
  }

  void playSample(const std::string& name) {
    pa_threaded_mainloop_lock(loop);
    if (pa_operation* operation = pa_context_play_sample(context, name.c_str(), nullptr, PA_VOLUME_NORM, nullptr, nullptr))
      pa_operation_unref(operation);
    pa_threaded_mainloop_unlock(loop);
  }

  /// Waits for 100 ms of silence, runs `start` and returns the microseconds until sound arrived (-1: none in 2 s).
  template <typename Start>
  double timeToFirstSample(Start start) {
    while (bench::monotonicMicroseconds() - lastSound < 100000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    heardAt = 0;
    armed = true;
    double started = bench::monotonicMicroseconds();
    start();
    while (heardAt == 0 && bench::monotonicMicroseconds() - started < 2e6)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    armed = false;
    return heardAt == 0 ? -1 : heardAt - started;
  }
};

Server* server() {
  static Server* connected = [] {
    auto* made = new Server;
    return made->connect() ? made : nullptr;
  }();
  return connected;
}

struct Sound {
  int rate = 0, channels = 0;
  std::vector<float> samples;
};

Sound readSound(const std::string& hostPath) {
  Sound sound;
  SF_INFO info{};
  SNDFILE* file = sf_open(hostPath.c_str(), SFM_READ, &info);
  if (!file) std::abort();
  sound.rate = info.samplerate;
  sound.channels = info.channels;
  sound.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_float(file, sound.samples.data(), info.frames);
  sf_close(file);
  return sound;
}

/// The device, SpringBoard's hook loaded and system output on, and a 30 s stereo
/// 48 kHz theme that opens with the default theme's sound, then stays silent.
struct Setup {
  std::string root;
  Retained<NSObject> volumeControl;
  std::string defaultTheme, longTheme;
};

Setup& setup() {
  static Setup* made = [] {
    auto* result = new Setup;
    result->root = bench::makeDevice("orvane-audio-bench");
    result->defaultTheme = device::hostPath(std::string(kSoundDirectory) + "Mac Volume Change.wav");
    result->longTheme = device::hostPath(std::string(kSoundDirectory) + "Long Opening.wav");
    Sound opening = readSound(result->defaultTheme);
    std::vector<float> stereo(30 * 48000 * 2, 0.0f);
    for (std::size_t frame = 0; frame * 48000 / opening.rate < opening.samples.size() && frame < 30 * 48000; ++frame) {
      float value = opening.samples[frame * static_cast<std::size_t>(opening.rate) / 48000];
      stereo[2 * frame] = stereo[2 * frame + 1] = value;
    }
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(result->longTheme.c_str(), SFM_WRITE, &info);
    sf_writef_float(file, stereo.data(), 30 * 48000);
    sf_close(file);

    if (std::string error = speaker::enableSystemOutput(); !error.empty()) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::abort();
    }
    Class cls = VolumeControl::class_();
    auto preferences = NSMutableDictionary::dictionary();
    preferences->setObject_forKey(NSNumber::numberWithBool(true), "isEnabled");
    preferences->setObject_forKey(NSSTR("Mac Volume Change"), "selectedIncreaseSound");
    preferences->setObject_forKey(NSSTR("Long Opening"), "selectedDecreaseSound");
    preferences->writeToFile_atomically(NSSTR("/var/mobile/Library/Preferences/com.quillmark.orvane.plist"), true);
    substrate::loadExtensions({"SpringBoard", {"com.apple.springboard"}});
    result->volumeControl = objc_createObject(cls);
    return result;
  }();
  return *made;
}

std::map<std::string, double> floorMedians;

void report(benchmark::State& state, std::vector<double>& samples, const std::string& floorKey) {
  double median = bench::percentile(samples, 0.5);
  state.counters["median_us"] = median;
  state.counters["p99_us"] = bench::percentile(samples, 0.99);
  if (floorKey.empty()) return;
  auto floor = floorMedians.find(floorKey);
  if (floor != floorMedians.end()) state.counters["median_over_floor"] = median / floor->second;
}

template <typename Start>
bool measure(benchmark::State& state, std::vector<double>& samples, Start start) {
  for (auto _ : state) {
    double latency = server()->timeToFirstSample(start);
    if (latency < 0) {
      state.SkipWithError("no sound arrived at the null sink");
      return false;
    }
    samples.push_back(latency);
    state.SetIterationTime(latency / 1e6);
  }
  return true;
}

/// pa_context_play_sample of a sample cached beforehand, on a kept connection.
void PlayCachedSampleFloor(benchmark::State& state) {
  bool isLong = state.range(0) != 0;
  Setup& made = setup();
  std::string name = isLong ? "floor-long" : "floor-default";
  Sound sound = readSound(isLong ? made.longTheme : made.defaultTheme);
  server()->upload(name, sound.rate, sound.channels, sound.samples);
  // The sink's first sound after a pause wakes it: not measured.
  server()->timeToFirstSample([&] { server()->playSample(name); });
  std::vector<double> samples;
  if (!measure(state, samples, [&] { server()->playSample(name); })) return;
  floorMedians[isLong ? "long" : "default"] = bench::percentile(samples, 0.5);
  report(state, samples, "");
  state.SetLabel(isLong ? "30 s stereo 48 kHz theme" : "default theme");
}

/// A volume press with sounds on, through the hook and system sounds.
void PressToFirstSample(benchmark::State& state) {
  bool isLong = state.range(0) != 0;
  Setup& made = setup();
  SEL selector = sel_registerName(isLong ? "decreaseVolume" : "increaseVolume");
  auto press = [&] { objc_msgSend(made.volumeControl.get(), selector); };
  // The first press decodes the theme and uploads it.
  double first = server()->timeToFirstSample(press);
  std::vector<double> samples;
  if (!measure(state, samples, press)) return;
  report(state, samples, isLong ? "long" : "default");
  state.counters["first_press_us"] = first;
  state.SetLabel(isLong ? "30 s stereo 48 kHz theme" : "default theme");
}

#ifdef ORVANE_HAVE_CANBERRA
/// libcanberra playing the theme file from its own cache.
void CanberraCachedPlay(benchmark::State& state) {
  Setup& made = setup();
  ca_context* context = nullptr;
  ca_context_create(&context);
  ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "audio-benchmarks", nullptr);
  ca_context_open(context);
  ca_context_cache(context, CA_PROP_EVENT_ID, "orvane-default", CA_PROP_MEDIA_FILENAME, made.defaultTheme.c_str(),
                   nullptr);
  std::vector<double> samples;
  bool measured = measure(state, samples, [&] {
    ca_context_play(context, 0, CA_PROP_EVENT_ID, "orvane-default", CA_PROP_MEDIA_FILENAME,
                    made.defaultTheme.c_str(), nullptr);
  });
  ca_context_destroy(context);
  if (!measured) return;
  report(state, samples, "default");
  state.SetLabel("default theme");
}
#endif

void registerAll() {
  for (int isLong : {0, 1}) {
    int iterations = isLong ? kLongMeasurements : kMeasurements;
    benchmark::RegisterBenchmark("PlayCachedSampleFloor", PlayCachedSampleFloor)
        ->Arg(isLong)->Iterations(iterations)->UseManualTime()->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("PressToFirstSample", PressToFirstSample)
        ->Arg(isLong)->Iterations(iterations)->UseManualTime()->Unit(benchmark::kMicrosecond);
  }
#ifdef ORVANE_HAVE_CANBERRA
  benchmark::RegisterBenchmark("CanberraCachedPlay", CanberraCachedPlay)
      ->Iterations(kMeasurements)->UseManualTime()->Unit(benchmark::kMicrosecond);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (!server()) {
    std::printf("No PulseAudio server reachable (start one with a sink named \"null\", or use scripts/bench-audio): skipped\n");
    return 0;
  }
  registerAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
