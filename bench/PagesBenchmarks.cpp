// Opening the root page to its first complete layout, and the sound theme
// pages with 1,000 and with 10,000 themes in the same run, each against a
// baseline from the same run.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench/BenchSupport.h"
#include "contract/Orvane.h"
#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "platform/objc/Methods.h"
#include "platform/preferences/PSListController.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* bundlePath = orvane::contract::bundlePath.c_str();
constexpr const char* soundDirectory = orvane::contract::soundDirectory.c_str();

std::atomic<long> soundDirectoryListings {0};
std::string soundDirectoryHost;

void removeDevice() {
  std::error_code ignored;
  if (device::root().find("orvane-pages-bench-") != std::string::npos) fs::remove_all(device::root(), ignored);
}

/// A device with the built settings bundle loaded; removed when the process exits.
NSBundle* loadedBundle() {
  static NSBundle* bundle = [] {
    std::string root = bench::makeDevice("orvane-pages-bench");
    std::atexit(removeDevice);
    soundDirectoryHost = root + soundDirectory;
    fs::copy(ORVANE_BUNDLE_DIR, root + bundlePath, fs::copy_options::recursive);
    if (!dlopen((root + bundlePath + "/Orvane").c_str(), RTLD_NOW | RTLD_GLOBAL)) std::abort();
    return NSBundle::bundleWithPath(NSSTR(bundlePath));
  }();
  return bundle;
}

/// Makes the sound directory hold exactly `count` added themes beside the installed ones.
void addedThemes(long count) {
  loadedBundle();
  for (long n = 0;; ++n) {
    std::string file = soundDirectoryHost + "Theme " + std::to_string(n) + ".wav";
    if (n < count) {
      if (!fs::exists(file)) std::ofstream(file) << "RIFF";
    } else if (!fs::remove(file)) {
      break;
    }
  }
}

Retained<PSListController> page(const char* className) {
  auto made = UIViewController::controller(objc_getClass(className));
  auto* list = objc_cast<PSListController>(made.get());
  if (!list) std::abort();
  list->setBundle(loadedBundle());
  return objc::retain(list);
}

void OpenRootPageToFirstLayout(benchmark::State& state) {
  addedThemes(1000);
  for (auto _ : state) {
    AutoreleasePool pool;
    auto root = page("OrvaneListController");
    auto navigation = UINavigationController::controllerWithRootViewController(root.get());
    navigation->beginAppearanceTransition(true, false);
    navigation->endAppearanceTransition(false);
    benchmark::DoNotOptimize(root->table()->sections().size());
  }
  state.SetLabel("load, localise, read values, build cells and headers, lay out");
}
BENCHMARK(OpenRootPageToFirstLayout)->Unit(benchmark::kMillisecond);

void ParseRootList(benchmark::State& state) {
  loadedBundle();
  for (auto _ : state) {
    AutoreleasePool pool;
    auto data = NSData::dataWithContentsOfFile(NSSTR(orvane::contract::bundlePath + "/Orvane.plist"));
    benchmark::DoNotOptimize(NSPropertyListSerialization::propertyListWithData(data->bytes()));
  }
  state.SetLabel("baseline: read and parse the page's list");
}
BENCHMARK(ParseRootList)->Unit(benchmark::kMillisecond);

/// The Sound Themes page, from nothing to its first layout with both pickers showing their value.
void OpenSoundThemesPage(benchmark::State& state) {
  addedThemes(state.range(0));
  long listings = soundDirectoryListings;
  for (auto _ : state) {
    AutoreleasePool pool;
    auto sounds = page("QMOrvaneConfigurationListController");
    auto navigation = UINavigationController::controllerWithRootViewController(sounds.get());
    navigation->beginAppearanceTransition(true, false);
    navigation->endAppearanceTransition(false);
    benchmark::DoNotOptimize(sounds->table()->sections().size());
  }
  state.counters["listings_per_open"] =
      static_cast<double>(soundDirectoryListings - listings) / static_cast<double>(state.iterations());
}
BENCHMARK(OpenSoundThemesPage)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

/// A tap on the volume-up picker until its page of choices is laid out, every theme a checkable row.
void OpenThemeChoices(benchmark::State& state) {
  addedThemes(state.range(0));
  AutoreleasePool outer;
  auto sounds = page("QMOrvaneConfigurationListController");
  auto navigation = UINavigationController::controllerWithRootViewController(sounds.get());
  navigation->beginAppearanceTransition(true, false);
  navigation->endAppearanceTransition(false);
  PSSpecifier* picker = sounds->groups().at(0).rows.at(0);
  long listings = 0, rows = 0;
  for (auto _ : state) {
    AutoreleasePool pool;
    long before = soundDirectoryListings;
    auto* choices = objc_cast<PSListController>(sounds->selectRow(picker));
    listings += soundDirectoryListings - before;
    if (!choices) std::abort();
    rows = static_cast<long>(choices->table()->sections().at(0).cells.size());
    state.PauseTiming();
    navigation->popViewControllerAnimated(false);
    state.ResumeTiming();
  }
  if (rows < state.range(0)) state.SkipWithError("the choices page misses themes");
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["listings_per_open"] = static_cast<double>(listings) / static_cast<double>(state.iterations());
}
BENCHMARK(OpenThemeChoices)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void ListDirectoryOnly(benchmark::State& state) {
  addedThemes(state.range(0));
  for (auto _ : state) {
    AutoreleasePool pool;
    benchmark::DoNotOptimize(NSFileManager::defaultManager()->contentsOfDirectoryAtPath_error(NSSTR(soundDirectory), nullptr));
  }
  state.SetLabel("baseline: the directory listing alone");
}
BENCHMARK(ListDirectoryOnly)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

// Counts the listings of the sound directory, whoever makes them.
extern "C" DIR* opendir(const char* path) {
  static auto real = reinterpret_cast<DIR* (*)(const char*)>(dlsym(RTLD_NEXT, "opendir"));
  if (path && !soundDirectoryHost.empty() && fs::path(path).lexically_normal() == fs::path(soundDirectoryHost).lexically_normal())
    ++soundDirectoryListings;
  return real(path);
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
