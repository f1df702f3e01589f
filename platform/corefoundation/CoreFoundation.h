#pragma once

#include <cstdint>

#include "platform/corefoundation/CFBase.h"
#include "platform/corefoundation/CFNotificationCenter.h"
#include "platform/foundation/NSDictionary.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"

#define CFSTR(literal) (::NSString::constant(literal))

/// Reads kCFCoreFoundationVersionNumber afresh from the device (after the device root changes).
void CFRefreshCoreFoundationVersionNumber();
