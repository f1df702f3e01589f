// A library for the loader's tests: when loaded it appends its own file name
// to the file named by $ORVANE_TEST_LOADER_LOG.
#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <string>

__attribute__((constructor)) static void announce() {
  Dl_info info {};
  dladdr(reinterpret_cast<void*>(&announce), &info);
  std::string path = info.dli_fname ? info.dli_fname : "?";
  if (const char* log = std::getenv("ORVANE_TEST_LOADER_LOG"))
    std::ofstream(log, std::ios::app) << path.substr(path.rfind('/') + 1) << '\n';
}
