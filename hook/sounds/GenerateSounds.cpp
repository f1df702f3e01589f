// Synthesises the sound themes as short mono 16-bit 44.1 kHz WAV files.
// Usage: generate-sounds OUTPUT_DIR

#include <fmt/format.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPeak = 0.7;
constexpr double kTwoPi = 2 * std::numbers::pi;

using Signal = std::vector<double>;
using Curve = std::function<double(double)>;

Signal silence(double seconds) { return Signal(static_cast<std::size_t>(seconds * kRate)); }

// xorshift64*, so that the noise is the same on every build.
class Noise {
 public:
  explicit Noise(std::uint64_t seed) : state_(seed) {}
  double next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    std::uint64_t value = state_ * 0x2545F4914F6CDD1DULL;
    return static_cast<double>(value >> 11) / static_cast<double>(1ULL << 52) - 1.0;
  }

 private:
  std::uint64_t state_;
};

double attack(double t, double seconds) {
  return t >= seconds ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * t / seconds);
}

double decay(double t, double seconds) { return std::exp(-t / seconds); }

// Adds a sine whose frequency and amplitude follow curves of the time since `start`.
void addTone(Signal& signal, double start, const Curve& frequency, const Curve& amplitude) {
  double phase = 0;
  for (auto i = static_cast<std::size_t>(start * kRate); i < signal.size(); ++i) {
    double t = static_cast<double>(i) / kRate - start;
    signal[i] += amplitude(t) * std::sin(phase);
    phase = std::fmod(phase + kTwoPi * frequency(t) / kRate, kTwoPi);
  }
}

// Adds noise through a one-pole band: above `low` Hz and below `high` Hz.
void addNoise(Signal& signal, std::uint64_t seed, double low, double high, const Curve& amplitude) {
  Noise noise(seed);
  double highCut = std::exp(-kTwoPi * high / kRate);
  double lowCut = std::exp(-kTwoPi * low / kRate);
  double smoothed = 0, baseline = 0;
  for (std::size_t i = 0; i < signal.size(); ++i) {
    smoothed = (1 - highCut) * noise.next() + highCut * smoothed;
    baseline = (1 - lowCut) * smoothed + lowCut * baseline;
    signal[i] += amplitude(static_cast<double>(i) / kRate) * (smoothed - baseline);
  }
}

// Scales to a common peak well below full scale and fades the tail to silence.
void finish(Signal& signal) {
  double fade = 0.008 * kRate;
  for (std::size_t i = 0; i < signal.size(); ++i) {
    double left = static_cast<double>(signal.size() - 1 - i);
    if (left < fade) signal[i] *= 0.5 - 0.5 * std::cos(std::numbers::pi * left / fade);
  }
  double peak = 0;
  for (double sample : signal) peak = std::max(peak, std::abs(sample));
  if (peak > 0)
    for (double& sample : signal) sample *= kPeak / peak;
}

Signal pop() {
  Signal signal = silence(0.13);
  auto frequency = [](double t) { return 380 + 420 * (1 - std::exp(-t / 0.018)); };
  addTone(signal, 0, frequency, [](double t) { return attack(t, 0.003) * decay(t, 0.03); });
  addTone(
      signal, 0, [&](double t) { return 2 * frequency(t); },
      [](double t) { return 0.12 * attack(t, 0.003) * decay(t, 0.018); });
  return signal;
}

Signal click() {
  Signal signal = silence(0.035);
  addNoise(signal, 0xC11C, 900, 6000, [](double t) { return 2.5 * attack(t, 0.0003) * decay(t, 0.0025); });
  addTone(
      signal, 0, [](double) { return 1800; }, [](double t) { return 0.6 * attack(t, 0.0005) * decay(t, 0.006); });
  return signal;
}

void addBell(Signal& signal, double start, double frequency, double amplitude, double length) {
  const double partials[][3] = {{1.0, 1.0, 1.0}, {2.0, 0.22, 0.55}, {3.01, 0.08, 0.35}};
  // Plain names, not structured bindings: clang 14 cannot capture those in lambdas.
  for (const auto& partial : partials) {
    double ratio = partial[0], level = partial[1], life = partial[2];
    addTone(
        signal, start, [=](double) { return frequency * ratio; },
        [=](double t) { return amplitude * level * attack(t, 0.002) * decay(t, length * life); });
  }
}

Signal chime() {
  Signal signal = silence(0.32);
  addBell(signal, 0, 1318.5, 1.0, 0.09);
  addBell(signal, 0.07, 1760.0, 0.8, 0.08);
  return signal;
}

Signal drop() {
  Signal signal = silence(0.16);
  addTone(
      signal, 0, [](double t) { return 300 + 900 * std::exp(-t / 0.03); },
      [](double t) { return attack(t, 0.002) * decay(t, 0.04); });
  return signal;
}

Signal bubble() {
  Signal signal = silence(0.18);
  auto addBubble = [&](double start, double from, double to, double level) {
    addTone(
        signal, start, [=](double t) { return from + (to - from) * std::min(t / 0.04, 1.0); },
        [=](double t) { return level * attack(t, 0.005) * decay(t, 0.025); });
  };
  addBubble(0, 400, 1100, 1.0);
  addBubble(0.07, 600, 1500, 0.7);
  return signal;
}

Signal tick() {
  Signal signal = silence(0.02);
  addTone(
      signal, 0, [](double) { return 3200; }, [](double t) { return attack(t, 0.0003) * decay(t, 0.0015); });
  addNoise(signal, 0x71C4, 2500, 9000, [](double t) { return 1.5 * attack(t, 0.0002) * decay(t, 0.0008); });
  return signal;
}

Signal glass() {
  Signal signal = silence(0.3);
  const double partials[][3] = {{1.0, 1.0, 0.07}, {2.32, 0.25, 0.04}, {4.25, 0.1, 0.02}};
  for (const auto& partial : partials) {
    double ratio = partial[0], level = partial[1], life = partial[2];
    addTone(
        signal, 0, [=](double) { return 1760.0 * ratio; },
        [=](double t) { return level * attack(t, 0.001) * decay(t, life); });
  }
  addNoise(signal, 0x61A5, 3000, 12000, [](double t) { return 0.8 * attack(t, 0.0002) * decay(t, 0.001); });
  return signal;
}

bool write(const std::filesystem::path& path, const Signal& signal) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    fmt::print(stderr, "generate-sounds: cannot write {}: {}\n", path.string(), sf_strerror(nullptr));
    return false;
  }
  std::vector<short> samples(signal.size());
  std::transform(signal.begin(), signal.end(), samples.begin(),
                 [](double sample) { return static_cast<short>(std::lrint(std::clamp(sample, -1.0, 1.0) * 32767)); });
  bool ok = sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size())) ==
            static_cast<sf_count_t>(samples.size());
  return sf_close(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fmt::print(stderr, "usage: generate-sounds OUTPUT_DIR\n");
    return 2;
  }
  std::filesystem::path directory = argv[1];
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  const std::pair<const char*, Signal (*)()> themes[] = {
      {"Mac Volume Change.wav", pop}, {"Click.wav", click}, {"Chime.wav", chime}, {"Drop.wav", drop},
      {"Bubble.wav", bubble},         {"Tick.wav", tick},   {"Glass.wav", glass},
  };
  for (const auto& [name, make] : themes) {
    Signal signal = make();
    finish(signal);
    if (!write(directory / name, signal)) return 1;
  }
  return 0;
}
