#pragma once

#include "platform/foundation/NSString.h"

extern "C" {
/// The device's answer to a question, owned by the caller (+1), or nil for a
/// question it does not answer. "ProductType" is the model identifier,
/// "ProductVersion" and "BuildVersion" the system's version and build.
NSObject* MGCopyAnswer(NSString* question);
}
