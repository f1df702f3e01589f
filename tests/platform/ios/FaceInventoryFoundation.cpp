#include "tests/platform/ios/FaceMethods.h"

namespace faceinventory {

const std::vector<FaceMethod> foundationMethods = {
    {"NSObject", '+', "alloc", "@@:"},
    {"NSObject", '-', "isKindOfClass:", "B@:#"},
    {"NSString", '-', "initWithBytes:length:encoding:", "@@:^QQ"},
    {"NSString", '-', "UTF8String", "*@:"},
    {"NSString", '-', "length", "Q@:"},
};

}  // namespace faceinventory
