// A picture of the root page at scale 2, against two baselines from the same
// run: building the page's view tree alone, and an empty screen of the same
// size written as PNG.

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "bench/BenchSupport.h"
#include "platform/device/Device.h"
#include "platform/foundation/NSTimer.h"
#include "sim/render/Screenshot.h"
#include "sim/settings/Navigation.h"
#include "sim/settings/SettingsEntry.h"

namespace fs = std::filesystem;

namespace {

void removeDevice() {
  std::error_code ignored;
  if (device::root().find("orvane-screenshot-bench-") != std::string::npos) fs::remove_all(device::root(), ignored);
}

const settings::LoadedBundle& loadedBundle() {
  static settings::LoadedBundle loaded = [] {
    std::string root = bench::makeDevice("orvane-screenshot-bench");
    std::atexit(removeDevice);
    fs::copy(ORVANE_BUNDLE_DIR, root + "/Library/PreferenceBundles/Orvane.bundle", fs::copy_options::recursive);
    fs::copy_file(ORVANE_SETTINGS_ENTRY, root + "/Library/PreferenceLoader/Preferences/Orvane.plist");
    foundation::clock::useTestClock();
    auto result = settings::loadEntry("Orvane");
    if (!result) std::abort();
    return result.value();
  }();
  return loaded;
}

double emptyScreenPngSeconds() {
  double start = bench::monotonicMicroseconds();
  CGSize size = render::screenSize();
  render::Picture empty(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width * 2),
                                                   static_cast<int>(size.height * 2)));
  benchmark::DoNotOptimize(empty.png());
  return (bench::monotonicMicroseconds() - start) / 1e6;
}

void ScreenshotRootPage(benchmark::State& state) {
  AutoreleasePool outer;
  settings::Navigation navigation(loadedBundle());
  foundation::clock::advance(2);  // the title logo has faded in
  std::vector<double> baseline;
  for (int i = 0; i < 9; ++i) baseline.push_back(emptyScreenPngSeconds());
  std::size_t bytes = 0;
  double start = bench::monotonicMicroseconds();
  for (auto _ : state) {
    AutoreleasePool pool;
    bytes = render::screenshotPng(navigation, {2}).value_or("").size();
  }
  double each = (bench::monotonicMicroseconds() - start) / 1e6 / static_cast<double>(state.iterations());
  if (bytes == 0) state.SkipWithError("no picture");
  state.counters["png_bytes"] = static_cast<double>(bytes);
  // How many empty screens written as PNG one picture costs, measured side by side.
  state.counters["x_empty_png"] = each / bench::percentile(baseline, 0.5);
  state.SetLabel("draw the root page at scale 2 and encode it as PNG");
}
BENCHMARK(ScreenshotRootPage)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BuildRootPageViewTree(benchmark::State& state) {
  const auto& loaded = loadedBundle();
  for (auto _ : state) {
    AutoreleasePool pool;
    settings::Navigation navigation(loaded);
    benchmark::DoNotOptimize(navigation.page()->table()->sections().size());
  }
  state.SetLabel("baseline: open the root page to its laid-out view tree");
}
BENCHMARK(BuildRootPageViewTree)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void EmptyScreenAsPng(benchmark::State& state) {
  loadedBundle();
  for (auto _ : state) benchmark::DoNotOptimize(emptyScreenPngSeconds());
  state.SetLabel("baseline: an empty 640x1136 surface written as PNG");
}
BENCHMARK(EmptyScreenAsPng)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
