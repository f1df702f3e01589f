#pragma once

#include <initializer_list>

#include "platform/objc/NSObject.h"

class NSArray : public NSObject {
 public:
  static Class class_() { return ORVANE_CLASS("NSArray"); }
  static Retained<NSArray> array() {
    return objc::allocInit<NSArray>(class_(), ORVANE_SEL("init"));
  }
  /// A literal list, as @[...] writes it: each object is retained by the array.
  static Retained<NSArray> arrayWithObjects(std::initializer_list<id> objects) {
    return arrayWithObjects(objects.begin(), objects.size());
  }
  static Retained<NSArray> arrayWithObjects(const id* objects, std::size_t count) {
    return objc::allocInit<NSArray>(class_(), ORVANE_SEL("initWithObjects:count:"), objects,
                                    static_cast<unsigned long>(count));
  }

  unsigned long count() const { return objc::sendMessage<unsigned long>(this, ORVANE_SEL("count")); }
  objc_object* objectAtIndex(unsigned long index) const {
    return objc::sendMessage<id>(this, ORVANE_SEL("objectAtIndex:"), index);
  }

  /// Walks the elements by index, holding a reference to the current one, as
  /// the stand-in's vector of references is walked.
  class Iterator {
   public:
    Iterator(const NSArray* array, unsigned long index) : array_(array), index_(index) {}
    Retained<objc_object>& operator*() {
      current_ = objc::retain(array_->objectAtIndex(index_));
      return current_;
    }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return index_ != other.index_; }

   private:
    const NSArray* array_;
    unsigned long index_;
    Retained<objc_object> current_;
  };
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, count()}; }
};

class NSMutableArray : public NSArray {
 public:
  static Class class_() { return ORVANE_CLASS("NSMutableArray"); }
  static Retained<NSMutableArray> array() {
    return objc::allocInit<NSMutableArray>(class_(), ORVANE_SEL("init"));
  }

  void addObject(objc_object* object) { objc::sendMessage<void>(this, ORVANE_SEL("addObject:"), object); }
  void removeAllObjects() { objc::sendMessage<void>(this, ORVANE_SEL("removeAllObjects")); }
};
