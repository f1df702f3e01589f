#include "platform/corefoundation/CoreFoundation.h"
#include "platform/device/Device.h"

namespace {

// The version of iOS 8.1, the system a device has unless its settings say otherwise.
constexpr double kDefaultVersion = 1141.14;

double deviceVersion() { return device::settingDouble("CoreFoundationVersion", kDefaultVersion); }

}  // namespace

double kCFCoreFoundationVersionNumber = deviceVersion();

void CFRefreshCoreFoundationVersionNumber() { kCFCoreFoundationVersionNumber = deviceVersion(); }
