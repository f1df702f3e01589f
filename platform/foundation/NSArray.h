#pragma once

#include <vector>

#include "platform/objc/NSObject.h"

class NSArray : public NSObject {
 public:
  static Class class_();
  static Retained<NSArray> array();
  static Retained<NSArray> arrayWithObjects(std::vector<Retained<objc_object>> objects);

  std::size_t count() const { return objects_.size(); }
  objc_object* objectAtIndex(std::size_t index) const;
  const std::vector<Retained<objc_object>>& objects() const { return objects_; }
  auto begin() const { return objects_.begin(); }
  auto end() const { return objects_.end(); }

  std::string description() const override;

 protected:
  std::vector<Retained<objc_object>> objects_;
};

class NSMutableArray : public NSArray {
 public:
  static Class class_();
  static Retained<NSMutableArray> array();

  void addObject(objc_object* object);
  void removeAllObjects() { objects_.clear(); }
};
