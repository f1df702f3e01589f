#pragma once

// The directory the package installs into, before every path of its own
// ("/Library/...", "/usr/bin/..."): empty for the simulated device and rootful
// jailbreaks, "/var/jb" for rootless ones. The build picks it.
#ifndef ORVANE_INSTALL_ROOT
#define ORVANE_INSTALL_ROOT ""
#endif
