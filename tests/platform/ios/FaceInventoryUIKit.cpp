#include "tests/platform/ios/FaceMethods.h"

namespace faceinventory {

const std::vector<FaceMethod> uikitMethods = {

};

}  // namespace faceinventory
