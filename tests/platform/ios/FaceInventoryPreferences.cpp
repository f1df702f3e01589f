#include "tests/platform/ios/FaceMethods.h"

namespace faceinventory {

const std::vector<FaceMethod> preferencesMethods = {

};

}  // namespace faceinventory
