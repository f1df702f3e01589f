#pragma once

#include "platform/foundation/NSString.h"

extern "C" {
/// The device's answer to a question, owned by the caller (+1), or nil.
NSObject* MGCopyAnswer(NSString* question);
}
