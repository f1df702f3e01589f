#include "hook/Initialisers.h"

// The library's one module initialiser. Loaders run the initialisers of
// different object files in link order, not by priority, so the order that
// matters (the snapshot is loaded before the hooks can read it) is kept here.
__attribute__((constructor)) static void initialiseLibrary() {
  orvane::startUp();
  orvane::installHooks();
}
