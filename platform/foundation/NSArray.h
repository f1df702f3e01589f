#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/objc/NSObject.h"

class NSArray : public NSObject {
 public:
  static Class class_();
  static Retained<NSArray> array();
  static Retained<NSArray> arrayWithObjects(std::vector<Retained<objc_object>> objects);
  /// A literal list, as @[...] writes it: each object is retained by the array.
  static Retained<NSArray> arrayWithObjects(std::initializer_list<objc_object*> objects);

  std::size_t count() const { return objects_.size(); }
  objc_object* objectAtIndex(std::size_t index) const;
  const std::vector<Retained<objc_object>>& objects() const { return objects_; }
  auto begin() const { return objects_.begin(); }
  auto end() const { return objects_.end(); }

  std::string description() const override;
  /// Counts the changes made to a mutable array, so that what was derived from it can tell it is stale.
  std::uint64_t mutations() const { return mutations_; }

 protected:
  std::vector<Retained<objc_object>> objects_;
  std::uint64_t mutations_ = 0;
};

class NSMutableArray : public NSArray {
 public:
  static Class class_();
  static Retained<NSMutableArray> array();

  void addObject(objc_object* object);
  void removeAllObjects() {
    objects_.clear();
    ++mutations_;
  }
};
