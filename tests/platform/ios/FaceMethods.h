#pragma once

#include <vector>

// Every method the device face sends, as (class, selector, encoding): the
// stand-in must answer each with a method of that encoding. One list per
// framework, each in the test file of that framework.
namespace faceinventory {

struct FaceMethod {
  const char* className;
  /// "+" for a class method, "-" for an instance method.
  char kind;
  const char* selector;
  /// The encoding without offsets, as the face's sends are checked ("v@:@").
  const char* types;
};

extern const std::vector<FaceMethod> foundationMethods;
extern const std::vector<FaceMethod> uikitMethods;
extern const std::vector<FaceMethod> preferencesMethods;

}  // namespace faceinventory
