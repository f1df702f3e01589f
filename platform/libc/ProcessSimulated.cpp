#include "platform/device/Device.h"
#include "platform/libc/Process.h"

extern char** environ;

std::string libc::localPath(const std::string& devicePath) { return device::hostPath(devicePath); }

char** libc::environment() { return environ; }
