// Bytes as a file in the notify registry: as an entry that a poster maps, and
// as this process's own entry, overwritten behind its back, that its owner uses.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/corefoundation/NotifyRegistry.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/support/TemporaryDevice.h"

namespace {

namespace fs = std::filesystem;

const std::uint64_t kKey = notify::keyOf("com.quillmark.orvane/settingschanged");

std::string registry() {
  static testsupport::TemporaryDevice device;
  std::string directory = notify::registryDirectory();
  fs::create_directories(directory);
  return directory;
}

void replaceFile(const std::string& path, const uint8_t* data, size_t size) {
  int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (descriptor < 0) std::abort();
  if (size && ::write(descriptor, data, size) != static_cast<ssize_t>(size)) std::abort();
  ::close(descriptor);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string directory = registry();
  // An entry of a process that never listened: a poster maps it, marks it if it can, and removes it.
  std::string foreign = directory + "/1-foreign";
  fs::remove(foreign);
  replaceFile(foreign, data, size);
  // Without a generation posters list the directory on every post, so each input is seen afresh.
  fs::remove(directory + "/.generation");
  notify::post(kKey);

  auto owner = notify::Endpoint::create(directory, "2-owner");
  if (!owner || !owner->watch(kKey)) std::abort();
  replaceFile(directory + "/2-owner", data, size);
  owner->condition({kKey});
  owner->mark(kKey);
  owner->takePending();
  owner->watch(kKey + 1);
  owner->unwatch(kKey);
  notify::post(kKey);
  owner.reset();
  fs::remove(directory + "/2-owner");
  // Leaves posters knowing no entry, as before the input, so each input frees what it took.
  fs::remove(foreign);
  fs::remove(directory + "/.generation");
  notify::post(kKey);
  return 0;
}

std::vector<std::string> fuzzSeeds() {
  std::string directory = registry();
  std::vector<std::string> seeds = {"", std::string(1, '\0'), "not an entry at all"};
  auto entry = notify::Endpoint::create(directory, "seed");
  entry->watch(notify::keyOf("other"));
  entry->watch(kKey);
  std::string whole = testsupport::readFile(directory + "/seed");
  entry->mark(kKey);
  std::string marked = testsupport::readFile(directory + "/seed");
  entry.reset();
  seeds.push_back(whole);
  seeds.push_back(marked);
  seeds.push_back(whole.substr(0, whole.size() / 2));
  seeds.push_back(whole + "x");
  // Every slot counted as used, and every byte of the header set.
  std::string full = whole;
  for (std::size_t i = 8; i < 16 && i < full.size(); ++i) full[i] = '\xff';
  seeds.push_back(full);
  seeds.push_back(std::string(whole.size(), '\xff'));
  return seeds;
}
