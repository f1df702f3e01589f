// From a press to the first sample at a PulseAudio null sink, against the
// floor (pa_context_play_sample of a cached sample on a kept connection) and
// libcanberra's cached play, on the same server in the same run. The three
// are measured in turn, round after round in a rotating order, each from an
// idle sink, so that a drift of the machine falls on all of them alike. Run it
// through scripts/bench-audio, which starts a private server.

#include <benchmark/benchmark.h>
#include <pulse/pulseaudio.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#ifdef ORVANE_HAVE_CANBERRA
#include <canberra.h>
#endif

#include "bench/BenchSupport.h"
#include "contract/Orvane.h"
#include "platform/audiotoolbox/Speaker.h"
#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "platform/substrate/Loader.h"
#include "sim/springboard/VolumeControl.h"

namespace {

constexpr const char* kSoundDirectory = orvane::contract::soundDirectory.c_str();
constexpr int kRounds = 60;

void signalLoop(pa_threaded_mainloop* loop) { pa_threaded_mainloop_signal(loop, 0); }

/// A client connection on a threaded main loop of its own, as the speaker keeps one.
struct Connection {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;

  static void onState(pa_context*, void* self) { signalLoop(static_cast<Connection*>(self)->loop); }
  static void onStreamState(pa_stream*, void* self) { signalLoop(static_cast<Connection*>(self)->loop); }
  static void onDone(pa_context*, int, void* self) { signalLoop(static_cast<Connection*>(self)->loop); }

  bool connect(const char* name) {
    loop = pa_threaded_mainloop_new();
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), name);
    pa_context_set_state_callback(context, onState, this);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    pa_threaded_mainloop_lock(loop);
    pa_threaded_mainloop_start(loop);
    while (PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) && pa_context_get_state(context) != PA_CONTEXT_READY)
      pa_threaded_mainloop_wait(loop);
    bool ready = pa_context_get_state(context) == PA_CONTEXT_READY;
    pa_threaded_mainloop_unlock(loop);
    return ready;
  }

  /// Waits, with the loop locked, for an operation to finish.
  void await(pa_operation* operation) {
    if (!operation) return;
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_threaded_mainloop_wait(loop);
    pa_operation_unref(operation);
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

  void removeSample(const std::string& name) {
    pa_threaded_mainloop_lock(loop);
    await(pa_context_remove_sample(context, name.c_str(), onDone, this));
    pa_threaded_mainloop_unlock(loop);
  }

  /// Ends every stream playing into the server's sinks, whoever started it.
  void silenceEverything() {
    pa_threaded_mainloop_lock(loop);
    std::vector<std::uint32_t> inputs;
    struct Listing {
      Connection* self;
      std::vector<std::uint32_t>* inputs;
    } listing{this, &inputs};
    await(pa_context_get_sink_input_info_list(
        context,
        [](pa_context*, const pa_sink_input_info* info, int, void* data) {
          auto* into = static_cast<Listing*>(data);
          if (info) into->inputs->push_back(info->index);
          else signalLoop(into->self->loop);
        },
        &listing));
    for (std::uint32_t input : inputs) await(pa_context_kill_sink_input(context, input, onDone, this));
    pa_threaded_mainloop_unlock(loop);
  }
};

/// A monitor of the null sink on a connection of its own, noting when sound first arrives.
struct Monitor : Connection {
  pa_stream* stream = nullptr;
  std::atomic<bool> armed{false};
  std::atomic<double> heardAt{0};
  std::atomic<double> lastSound{0};

  static void onRead(pa_stream* stream, size_t, void* self) {
    auto& monitor = *static_cast<Monitor*>(self);
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
      double now = bench::monotonicMicroseconds();
      if (data) {
        const auto* samples = static_cast<const float*>(data);
        for (size_t i = 0; i < bytes / sizeof(float); ++i) {
          if (std::fabs(samples[i]) < 1e-3f) continue;
          monitor.lastSound = now;
          if (monitor.armed.exchange(false)) monitor.heardAt = now;
          break;
        }
      }
      pa_stream_drop(stream);
    }
  }

  bool start() {
    if (!connect("audio-benchmarks monitor")) return false;
    pa_threaded_mainloop_lock(loop);
    pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, 48000, 1};
    stream = pa_stream_new(context, "monitor", &spec, nullptr);
    pa_stream_set_read_callback(stream, onRead, this);
    pa_stream_set_state_callback(stream, onStreamState, this);
    pa_buffer_attr attributes{static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1),
                              static_cast<uint32_t>(-1), 48 * sizeof(float)};
    pa_stream_connect_record(stream, "null.monitor", &attributes, PA_STREAM_ADJUST_LATENCY);
    while (pa_stream_get_state(stream) == PA_STREAM_CREATING) pa_threaded_mainloop_wait(loop);
    bool ready = pa_stream_get_state(stream) == PA_STREAM_READY;
    pa_threaded_mainloop_unlock(loop);
    return ready;
  }

  /// Waits for 100 ms of silence, runs `start` and returns the microseconds
  /// until sound arrived (-1: none in 2 s); `call` is how long `start` took.
  double timeToFirstSample(const std::function<void()>& start, double& call) {
    while (bench::monotonicMicroseconds() - lastSound < 100000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    heardAt = 0;
    armed = true;
    double started = bench::monotonicMicroseconds();
    start();
    call = bench::monotonicMicroseconds() - started;
    while (heardAt == 0 && bench::monotonicMicroseconds() - started < 2e6)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    armed = false;
    return heardAt == 0 ? -1 : heardAt - started;
  }
};

Monitor* monitor() {
  static Monitor* started = [] {
    auto* made = new Monitor;
    return made->start() ? made : nullptr;
  }();
  return started;
}

/// The connection the floor plays through, idle between plays like the speaker's.
Connection& floorConnection() {
  static Connection* connected = [] {
    auto* made = new Connection;
    if (!made->connect("audio-benchmarks floor")) std::abort();
    return made;
  }();
  return *connected;
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

    if (auto enabled = speaker::enableSystemOutput(); !enabled) {
      std::fprintf(stderr, "%s\n", enabled.error().message().c_str());
      std::abort();
    }
    Class cls = VolumeControl::class_();
    auto preferences = NSMutableDictionary::dictionary();
    preferences->setObject_forKey(NSNumber::numberWithBool(true).get(), orvane::contract::enabledKey);
    preferences->setObject_forKey(NSSTR(orvane::contract::defaultTheme), orvane::contract::increaseSoundKey);
    preferences->setObject_forKey(NSSTR("Long Opening"), orvane::contract::decreaseSoundKey);
    preferences->writeToFile_atomically(NSSTR(orvane::contract::preferencesPath), true);
    substrate::loadExtensions({"SpringBoard", {"com.apple.springboard"}});
    result->volumeControl = objc_createObject(cls);
    return result;
  }();
  return *made;
}

struct Contender {
  std::string name;
  std::function<void()> start;
  std::vector<double> samples;
  // How long the call that starts the sound took.
  std::vector<double> calls;
};

/// The press road against its anchors for one theme: rounds of one
/// measurement each, in an order that rotates from round to round.
void AudibleRoad(benchmark::State& state) {
  bool isLong = state.range(0) != 0;
  Setup& made = setup();
  const std::string& file = isLong ? made.longTheme : made.defaultTheme;
  std::string floorName = isLong ? "floor-long" : "floor-default";
  Sound sound = readSound(file);
  floorConnection().upload(floorName, sound.rate, sound.channels, sound.samples);
  SEL selector = sel_registerName(isLong ? "decreaseVolume" : "increaseVolume");

  std::vector<Contender> contenders;
  contenders.push_back({"floor", [&] { floorConnection().playSample(floorName); }, {}, {}});
  contenders.push_back({"press", [&] { objc_msgSend(made.volumeControl.get(), selector); }, {}, {}});
#ifdef ORVANE_HAVE_CANBERRA
  ca_context* canberra = nullptr;
  ca_context_create(&canberra);
  ca_context_change_props(canberra, CA_PROP_APPLICATION_NAME, "audio-benchmarks", nullptr);
  ca_context_open(canberra);
  std::string event = isLong ? "orvane-long" : "orvane-default";
  ca_context_cache(canberra, CA_PROP_EVENT_ID, event.c_str(), CA_PROP_MEDIA_FILENAME, file.c_str(), nullptr);
  contenders.push_back({"canberra", [&] {
    ca_context_play(canberra, 0, CA_PROP_EVENT_ID, event.c_str(), CA_PROP_MEDIA_FILENAME, file.c_str(), nullptr);
  }, {}, {}});
#endif

  Monitor& sink = *monitor();
  auto measure = [&](const std::function<void()>& start, std::vector<double>* calls = nullptr) {
    double call = 0;
    double latency = sink.timeToFirstSample(start, call);
    if (calls) calls->push_back(call);
    // Each measurement begins at an idle sink: a long theme would otherwise go on playing under the next.
    floorConnection().silenceEverything();
    return latency;
  };
  // The sink's first sound after a pause wakes it; the first press decodes the theme and uploads it.
  measure(contenders[0].start);
  double firstPress = measure(contenders[1].start);
  for (auto& contender : contenders) measure(contender.start);

  std::vector<double> pairedRatios;
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      double floor = 0, press = 0;
      for (std::size_t turn = 0; turn < contenders.size(); ++turn) {
        Contender& contender = contenders[(static_cast<std::size_t>(round) + turn) % contenders.size()];
        double latency = measure(contender.start, &contender.calls);
        if (latency < 0) {
          state.SkipWithError(("no sound arrived at the null sink from " + contender.name).c_str());
          return;
        }
        contender.samples.push_back(latency);
        if (&contender == &contenders[0]) floor = latency;
        if (&contender == &contenders[1]) press = latency;
      }
      pairedRatios.push_back(press / floor);
    }
    state.SetIterationTime(bench::percentile(contenders[1].samples, 0.5) / 1e6);
  }
#ifdef ORVANE_HAVE_CANBERRA
  ca_context_destroy(canberra);
#endif
  floorConnection().removeSample(floorName);

  double floorMedian = bench::percentile(contenders[0].samples, 0.5);
  for (auto& contender : contenders) {
    double median = bench::percentile(contender.samples, 0.5);
    state.counters[contender.name + "_median_us"] = median;
    state.counters[contender.name + "_p10_us"] = bench::percentile(contender.samples, 0.1);
    state.counters[contender.name + "_p90_us"] = bench::percentile(contender.samples, 0.9);
    state.counters[contender.name + "_call_median_us"] = bench::percentile(contender.calls, 0.5);
    if (contender.name != "floor") state.counters[contender.name + "_over_floor"] = median / floorMedian;
  }
  state.counters["press_over_floor_paired_median"] = bench::percentile(pairedRatios, 0.5);
  state.counters["press_first_us"] = firstPress;
  state.SetLabel(isLong ? "30 s stereo 48 kHz theme" : "default theme");
}
BENCHMARK(AudibleRoad)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (!monitor()) {
    std::printf("No PulseAudio server reachable (start one with a sink named \"null\", or use scripts/bench-audio): skipped\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
