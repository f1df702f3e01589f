#pragma once

#include "platform/objc/runtime.h"

extern "C" {
/// Makes sends of `message` to instances of `_class` reach `hook`. `*old`
/// receives what such a send reached before (null when nothing was hooked:
/// a null class, or a selector no class in the chain answers). A method the
/// class only inherits is hooked on the class itself, and `*old` then follows
/// whatever the superclass answers at the time of each call.
void MSHookMessageEx(Class _class, SEL message, IMP hook, IMP* old);
}
