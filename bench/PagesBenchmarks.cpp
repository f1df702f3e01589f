// Opening the root page to its first complete layout, and listing a sound
// directory of 1,000 themes, each against a baseline from the same run.

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <filesystem>
#include <fstream>

#include "bench/BenchSupport.h"
#include "platform/device/Device.h"
#include "platform/foundation/Foundation.h"
#include "platform/objc/Methods.h"
#include "platform/preferences/PSListController.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* bundlePath = "/Library/PreferenceBundles/Orvane.bundle";
constexpr const char* soundDirectory = "/Library/Application Support/Orvane/";

/// A device with the built settings bundle loaded, and 1,000 themes beside the installed ones.
NSBundle* loadedBundle() {
  static NSBundle* bundle = [] {
    std::string root = bench::makeDevice("orvane-pages-bench");
    fs::copy(ORVANE_BUNDLE_DIR, root + bundlePath, fs::copy_options::recursive);
    for (int n = 0; n < 1000; ++n) std::ofstream(root + soundDirectory + "Theme " + std::to_string(n) + ".wav") << "RIFF";
    if (!dlopen((root + bundlePath + "/Orvane").c_str(), RTLD_NOW | RTLD_GLOBAL)) std::abort();
    return NSBundle::bundleWithPath(NSSTR(bundlePath));
  }();
  return bundle;
}

void OpenRootPageToFirstLayout(benchmark::State& state) {
  NSBundle* bundle = loadedBundle();
  for (auto _ : state) {
    AutoreleasePool pool;
    auto page = UIViewController::controller(objc_getClass("OrvaneListController"));
    objc_cast<PSListController>(page.get())->setBundle(bundle);
    auto navigation = UINavigationController::controllerWithRootViewController(page);
    navigation->beginAppearanceTransition(true, false);
    navigation->endAppearanceTransition(false);
    benchmark::DoNotOptimize(objc_cast<PSListController>(page.get())->table()->sections().size());
  }
  state.SetLabel("load, localise, read values, build cells and headers, lay out");
}
BENCHMARK(OpenRootPageToFirstLayout)->Unit(benchmark::kMillisecond);

void ParseRootList(benchmark::State& state) {
  loadedBundle();
  for (auto _ : state) {
    AutoreleasePool pool;
    auto data = NSData::dataWithContentsOfFile(NSSTR("/Library/PreferenceBundles/Orvane.bundle/Orvane.plist"));
    benchmark::DoNotOptimize(NSPropertyListSerialization::propertyListWithData(data->bytes()));
  }
  state.SetLabel("baseline: read and parse the page's list");
}
BENCHMARK(ParseRootList)->Unit(benchmark::kMillisecond);

void ListThousandThemes(benchmark::State& state) {
  NSBundle* bundle = loadedBundle();
  auto page = UIViewController::controller(objc_getClass("QMOrvaneConfigurationListController"));
  objc_cast<PSListController>(page.get())->setBundle(bundle);
  for (auto _ : state) {
    AutoreleasePool pool;
    auto* themes = objc::send<NSArray*>(page.get(), "themeTitles");
    if (!themes || themes->count() < 1000) std::abort();
  }
}
BENCHMARK(ListThousandThemes)->Unit(benchmark::kMillisecond);

void ListDirectoryOnly(benchmark::State& state) {
  loadedBundle();
  for (auto _ : state) {
    AutoreleasePool pool;
    benchmark::DoNotOptimize(NSFileManager::defaultManager()->contentsOfDirectoryAtPath_error(NSSTR(soundDirectory), nullptr));
  }
  state.SetLabel("baseline: the directory listing alone");
}
BENCHMARK(ListDirectoryOnly)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  if (device::root().find("orvane-pages-bench-") != std::string::npos) fs::remove_all(device::root(), ignored);
  return 0;
}
