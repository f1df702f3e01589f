#pragma once

#include "platform/objc/runtime.h"

extern "C" {
/// Makes sends of `message` to instances of `_class` reach `hook`; `*old` receives what they reached before.
void MSHookMessageEx(Class _class, SEL message, IMP hook, IMP* old);
}
