// What the settings pages cost: a change made on a page until SpringBoard's
// snapshot in another process holds it, and opening a page of 50 rows.

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench/BenchSupport.h"
#include "contract/Orvane.h"
#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"
#include "platform/device/DeviceSetup.h"
#include "platform/foundation/Foundation.h"
#include "platform/objc/Methods.h"
#include "platform/preferences/PSListController.h"
#include "platform/substrate/CydiaSubstrate.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* bundlePath = orvane::contract::bundlePath.c_str();
constexpr const char* preferencesPath = orvane::contract::preferencesPathUser.c_str();
constexpr const char* settingsChanged = orvane::contract::settingsChanged.c_str();
constexpr int groups = 5;
constexpr int switchesPerGroup = 4;
constexpr int listsPerGroup = 4;

std::string row(const std::string& cell, const std::string& rest) {
  return "<dict><key>cell</key><string>" + cell + "</string>" + rest + "</dict>";
}

/// The root list of the bundle, replaced by 50 rows: per group a header with
/// footer, four switches, four lists of choices and a link.
std::string fiftyRows() {
  std::string items;
  for (int group = 0, n = 0; group < groups; ++group) {
    items += row("PSGroupCell", "<key>label</key><string>GROUP_" + std::to_string(group) +
                                    "</string><key>footerText</key><string>FOOTER_" + std::to_string(group) + "</string>");
    for (int i = 0; i < switchesPerGroup; ++i, ++n)
      items += row("PSSwitchCell", "<key>label</key><string>ROW_" + std::to_string(n) + "</string><key>key</key><string>key" +
                                       std::to_string(n) + "</string><key>default</key><false/>"
                                       "<key>PostNotification</key><string>" + settingsChanged + "</string>");
    for (int i = 0; i < listsPerGroup; ++i, ++n)
      items += row("PSLinkListCell", "<key>label</key><string>ROW_" + std::to_string(n) + "</string><key>key</key><string>key" +
                                         std::to_string(n) + "</string><key>default</key><string>Click</string>"
                                         "<key>validValues</key><array><string>Click</string><string>Chime</string>"
                                         "<string>Drop</string></array><key>validTitles</key><array><string>CLICK</string>"
                                         "<string>CHIME</string><string>DROP</string></array>");
    items += row("PSLinkCell", "<key>label</key><string>LINK_" + std::to_string(group) +
                                   "</string><key>detail</key><string>QMOrvaneConfigurationListController</string>");
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>items</key><array>" + items +
         "</array></dict></plist>\n";
}

std::string fiftyRowsTable() {
  std::string table = "\"CLICK\" = \"Click\";\n\"CHIME\" = \"Chime\";\n\"DROP\" = \"Drop\";\n";
  for (int n = 0; n < groups * (switchesPerGroup + listsPerGroup); ++n)
    table += "\"ROW_" + std::to_string(n) + "\" = \"Row " + std::to_string(n) + "\";\n";
  for (int group = 0; group < groups; ++group)
    table += "\"GROUP_" + std::to_string(group) + "\" = \"Group " + std::to_string(group) + "\";\n\"FOOTER_" +
             std::to_string(group) + "\" = \"Footer of group " + std::to_string(group) + "\";\n\"LINK_" +
             std::to_string(group) + "\" = \"More " + std::to_string(group) + "\";\n";
  return table;
}

void writeFile(const std::string& hostPath, const std::string& contents) {
  fs::create_directories(fs::path(hostPath).parent_path());
  std::ofstream(hostPath, std::ios::binary) << contents;
}

// When the page's post began and ended, taken by the stand-in for the post below.
double postBegan = 0, postEnded = 0;

void removeDevice() {
  std::error_code ignored;
  if (device::root().find("orvane-settings-bench-") != std::string::npos) fs::remove_all(device::root(), ignored);
}

/// A device with the hook library and a bundle of the built library beside the
/// 50-row list, made once per run. Touches files only: the first benchmark
/// forks before any thread starts.
const std::string& prepareDevice() {
  static std::string root = [] {
    std::string pattern = bench::makeDevice("orvane-settings-bench");
    std::atexit(removeDevice);
    std::string bundle = pattern + bundlePath;
    fs::create_directories(bundle);
    fs::copy_file(std::string(ORVANE_BUNDLE_DIR) + "/Orvane", bundle + "/Orvane");
    fs::copy_file(std::string(ORVANE_BUNDLE_DIR) + "/Info.plist", bundle + "/Info.plist");
    fs::copy_file(std::string(ORVANE_BUNDLE_DIR) + "/OrvaneConfiguration.plist", bundle + "/OrvaneConfiguration.plist");
    writeFile(bundle + "/Orvane.plist", fiftyRows());
    writeFile(bundle + "/en.lproj/Localizable.strings", fiftyRowsTable());
    // Stored values for half the rows, as after some use.
    auto preferences = NSMutableDictionary::dictionary();
    for (int n = 0; n < 40; n += 2) preferences->setObject_forKey(NSNumber::numberWithBool(true).get(), "key" + std::to_string(n));
    preferences->setObject_forKey(NSSTR("Mac Volume Change"), "selectedIncreaseSound");
    preferences->writeToFile_atomically(NSSTR(preferencesPath), true);
    return pattern;
  }();
  return root;
}

NSBundle* loadedBundle() {
  static NSBundle* bundle = [] {
    prepareDevice();
    if (!dlopen(device::hostPath(std::string(bundlePath) + "/Orvane").c_str(), RTLD_NOW | RTLD_GLOBAL)) {
      std::fprintf(stderr, "%s\n", dlerror());
      std::abort();
    }
    return NSBundle::bundleWithPath(NSSTR(bundlePath));
  }();
  return bundle;
}

Retained<PSListController> freshPage(const char* className) {
  NSBundle* bundle = loadedBundle();
  Retained<UIViewController> made = UIViewController::controller(objc_getClass(className));
  auto* page = objc_cast<PSListController>(made.get());
  if (!page) std::abort();
  page->setBundle(bundle);
  return objc::retain(page);
}

/// From "setPreferenceValue:specifier:" on a page here (a durable write, then
/// the post) to the reloaded snapshot in SpringBoard. The write is the time up
/// to the post; the post is timed on its own.
void PageChangeToReloadedSnapshotInAnotherProcess(benchmark::State& state) {
  prepareDevice();
  auto peer = bench::ReloadPeer::start("settings-benchmarks");
  AutoreleasePool pool;
  auto page = freshPage("QMOrvaneListController");
  auto specifier = PSSpecifier::specifier();
  specifier->setProperty_forKey(NSSTR("selectedIncreaseSound"), "key");
  specifier->setProperty_forKey(NSSTR(settingsChanged), "PostNotification");
  std::vector<double> latencies, writes, posts;
  long generation = 0;
  for (auto _ : state) {
    std::string name = "Theme " + std::to_string(++generation);
    auto value = NSString::stringWithUTF8String(name);
    double started = bench::monotonicMicroseconds();
    postBegan = postEnded = 0;
    objc::send(page.get(), "setPreferenceValue:specifier:", static_cast<id>(value.get()), specifier.get());
    if (postBegan == 0) {
      state.SkipWithError("the page posted nothing");
      break;
    }
    writes.push_back(postBegan - started);
    posts.push_back(postEnded - postBegan);
    double at = peer.waitForName(name);
    latencies.push_back(at - started);
    state.SetIterationTime((at - started) / 1e6);
  }
  peer.stop();
  state.counters["median_us"] = bench::percentile(latencies, 0.5);
  state.counters["p99_us"] = bench::percentile(latencies, 0.99);
  state.counters["write_median_us"] = bench::percentile(writes, 0.5);
  state.counters["post_median_us"] = bench::percentile(posts, 0.5);
}
BENCHMARK(PageChangeToReloadedSnapshotInAnotherProcess)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

/// Opening the 50-row page: load the list, localise it, read every value and build every cell.
void OpenFiftyRowPage(benchmark::State& state) {
  loadedBundle();
  long cells = 0;
  for (auto _ : state) {
    AutoreleasePool pool;
    auto page = freshPage("OrvaneListController");
    page->view();
    page->table()->reloadData();
    cells = 0;
    for (auto& section : page->table()->sections()) cells += static_cast<long>(section.cells.size());
    benchmark::DoNotOptimize(cells);
  }
  if (cells != groups * (switchesPerGroup + listsPerGroup + 1)) state.SkipWithError("the page has the wrong rows");
  state.counters["cells"] = static_cast<double>(cells);
}
BENCHMARK(OpenFiftyRowPage)->Unit(benchmark::kMicrosecond);

/// Baseline: reading and parsing the same list alone.
void ParseFiftyRowList(benchmark::State& state) {
  loadedBundle();
  auto path = NSString::stringWithUTF8String(std::string(bundlePath) + "/Orvane.plist");
  for (auto _ : state) {
    auto list = NSDictionary::dictionaryWithContentsOfFile(path.get());
    benchmark::DoNotOptimize(list.get());
  }
}
BENCHMARK(ParseFiftyRowList)->Unit(benchmark::kMicrosecond);

/// Baseline: one read of the preferences file, as each value row does.
void ReadPreferencesFile(benchmark::State& state) {
  prepareDevice();
  for (auto _ : state) {
    auto preferences = NSDictionary::dictionaryWithContentsOfFile(NSSTR(preferencesPath));
    benchmark::DoNotOptimize(preferences.get());
  }
}
BENCHMARK(ReadPreferencesFile)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  bench::runReloadPeerIfAsked(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// Times the page's post, so that the write is told apart from it.
extern "C" void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
                                                     CFDictionaryRef userInfo, Boolean deliverImmediately) {
  static auto real = reinterpret_cast<decltype(&CFNotificationCenterPostNotification)>(
      dlsym(RTLD_NEXT, "CFNotificationCenterPostNotification"));
  postBegan = bench::monotonicMicroseconds();
  real(center, name, object, userInfo, deliverImmediately);
  postEnded = bench::monotonicMicroseconds();
}
