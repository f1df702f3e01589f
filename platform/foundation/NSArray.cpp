#include "platform/foundation/NSArray.h"

#include "platform/foundation/PropertyListDescription.h"
#include "platform/objc/Methods.h"

Class NSArray::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSArray>("NSArray", NSObject::class_());
    // Every array class allocates its own instances, so a mutable one is made
    // by the same initialisers.
    objc::addFunction(registered, "initWithObjects:count:",
                      +[](NSArray* self, SEL, const id* objects, unsigned long count) -> id {
                        std::vector<Retained<objc_object>> kept;
                        for (unsigned long i = 0; i < count; ++i) {
                          if (!objects[i]) {
                            objc_release(self);
                            throw NSInvalidArgumentException(
                                "-[NSArray initWithObjects:count:]: attempt to insert nil object from objects[" +
                                std::to_string(i) + "]");
                          }
                          kept.push_back(objc::retain(objects[i]));
                        }
                        self->objects_ = std::move(kept);
                        return self;
                      });
    objc::addFunction(registered, "count", +[](NSArray* self, SEL) -> unsigned long { return self->count(); });
    objc::addFunction(registered, "objectAtIndex:",
                      +[](NSArray* self, SEL, unsigned long index) { return self->objectAtIndex(index); });
    return registered;
  }();
  return cls;
}

Retained<NSArray> NSArray::array() {
  return objc::alloc<NSArray>();
}

Retained<NSArray> NSArray::arrayWithObjects(std::vector<Retained<objc_object>> objects) {
  auto result = array();
  result->objects_ = std::move(objects);
  return result;
}

Retained<NSArray> NSArray::arrayWithObjects(std::initializer_list<objc_object*> objects) {
  std::vector<Retained<objc_object>> retained;
  for (objc_object* object : objects) retained.push_back(objc::retain(object));
  return arrayWithObjects(std::move(retained));
}

objc_object* NSArray::objectAtIndex(std::size_t index) const {
  if (index >= objects_.size())
    throw NSInvalidArgumentException("-[NSArray objectAtIndex:]: index " + std::to_string(index) + " beyond bounds");
  return objects_[index].get();
}

std::string NSArray::description() const { return foundation::describeNested(this, 0); }

Class NSMutableArray::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<NSMutableArray>("NSMutableArray", NSArray::class_());
    objc::addFunction(registered, "addObject:", +[](NSMutableArray* self, SEL, id object) { self->addObject(object); });
    objc::addFunction(registered, "removeAllObjects", +[](NSMutableArray* self, SEL) { self->removeAllObjects(); });
    return registered;
  }();
  return cls;
}

Retained<NSMutableArray> NSMutableArray::array() {
  return objc::alloc<NSMutableArray>();
}

void NSMutableArray::addObject(objc_object* object) {
  if (!object) throw NSInvalidArgumentException("-[NSMutableArray addObject:]: object cannot be nil");
  objects_.push_back(Retained<objc_object>::retain(object));
  ++mutations_;
}

namespace {
[[maybe_unused]] const Class registered = NSMutableArray::class_();
}
