#include "platform/substrate/CydiaSubstrate.h"
#include "platform/substrate/Trampoline.h"

extern "C" void MSHookMessageEx(Class _class, SEL message, IMP hook, IMP* old) {
  if (old) *old = nullptr;
  if (!_class || !message || !hook) return;
  if (Method own = class_getOwnMethod(_class, message)) {
    // The previous implementation is published before the hook can run.
    if (old) *old = method_getImplementation(own);
    IMP replaced = method_setImplementation(own, hook);
    if (old) *old = replaced;
    return;
  }
  Method inherited = class_getInstanceMethod(_class, message);
  if (!inherited) return;
  IMP forwarder = substrate::makeSuperclassForwarder(_class, message);
  if (!forwarder) return;
  if (old) *old = forwarder;
  class_addMethod(_class, message, hook, method_getTypeEncoding(inherited));
}
