#include "tests/platform/ios/FaceMethods.h"

namespace faceinventory {

// What the face's objc and Foundation headers send, with the types they send it with.
const std::vector<FaceMethod> foundationMethods = {
    {"NSObject", '+', "alloc", "@@:"},
    {"NSObject", '-', "init", "@@:"},
    {"NSObject", '-', "isKindOfClass:", "B@:#"},
    {"NSObject", '-', "respondsToSelector:", "B@::"},
    {"NSObject", '-', "conformsToProtocol:", "B@:@"},
    {"NSObject", '-', "description", "@@:"},

    {"NSString", '+', "alloc", "@@:"},
    {"NSString", '-', "initWithBytes:length:encoding:", "@@:^vQQ"},
    {"NSString", '-', "initWithFormat:", "@@:@"},
    {"NSString", '-', "UTF8String", "*@:"},
    {"NSString", '-', "length", "Q@:"},
    {"NSString", '-', "boolValue", "B@:"},
    {"NSString", '-', "isEqualToString:", "B@:@"},
    {"NSString", '-', "hasPrefix:", "B@:@"},
    {"NSString", '-', "hasSuffix:", "B@:@"},
    {"NSString", '-', "stringByAppendingString:", "@@:@"},
    {"NSString", '-', "stringByDeletingPathExtension", "@@:"},
    {"NSString", '-', "lastPathComponent", "@@:"},
    {"NSString", '-', "description", "@@:"},

    {"NSArray", '+', "alloc", "@@:"},
    {"NSArray", '-', "init", "@@:"},
    {"NSArray", '-', "initWithObjects:count:", "@@:^vQ"},
    {"NSArray", '-', "count", "Q@:"},
    {"NSArray", '-', "objectAtIndex:", "@@:Q"},
    {"NSMutableArray", '+', "alloc", "@@:"},
    {"NSMutableArray", '-', "init", "@@:"},
    {"NSMutableArray", '-', "initWithObjects:count:", "@@:^vQ"},
    {"NSMutableArray", '-', "addObject:", "v@:@"},
    {"NSMutableArray", '-', "removeAllObjects", "v@:"},

    {"NSDictionary", '+', "alloc", "@@:"},
    {"NSDictionary", '-', "init", "@@:"},
    {"NSDictionary", '-', "initWithContentsOfFile:", "@@:@"},
    {"NSDictionary", '-', "count", "Q@:"},
    {"NSDictionary", '-', "objectForKey:", "@@:@"},
    {"NSDictionary", '-', "allKeys", "@@:"},
    {"NSDictionary", '-', "fileSize", "Q@:"},
    {"NSDictionary", '-', "fileType", "@@:"},
    {"NSDictionary", '-', "writeToFile:atomically:", "B@:@B"},
    {"NSMutableDictionary", '+', "alloc", "@@:"},
    {"NSMutableDictionary", '-', "init", "@@:"},
    {"NSMutableDictionary", '-', "initWithContentsOfFile:", "@@:@"},
    {"NSMutableDictionary", '-', "setObject:forKey:", "v@:@@"},
    {"NSMutableDictionary", '-', "removeObjectForKey:", "v@:@"},
    {"NSMutableDictionary", '-', "addEntriesFromDictionary:", "v@:@"},

    {"NSNumber", '+', "numberWithBool:", "@@:B"},
    {"NSNumber", '+', "numberWithLongLong:", "@@:q"},
    {"NSNumber", '+', "numberWithDouble:", "@@:d"},
    {"NSNumber", '-', "boolValue", "B@:"},
    {"NSNumber", '-', "longLongValue", "q@:"},
    {"NSNumber", '-', "doubleValue", "d@:"},
    {"NSNumber", '-', "isEqualToNumber:", "B@:@"},

    {"NSData", '+', "dataWithBytes:length:", "@@:^vQ"},
    {"NSData", '+', "dataWithContentsOfFile:", "@@:@"},
    {"NSData", '-', "length", "Q@:"},

    {"NSURL", '+', "alloc", "@@:"},
    {"NSURL", '-', "initFileURLWithPath:", "@@:@"},
    {"NSURL", '-', "isFileURL", "B@:"},
    {"NSURL", '-', "path", "@@:"},
    {"NSURL", '-', "absoluteString", "@@:"},

    {"NSBundle", '+', "bundleWithPath:", "@@:@"},
    {"NSBundle", '-', "pathForResource:ofType:", "@@:@@"},
    {"NSBundle", '-', "localizedStringForKey:value:table:", "@@:@@@"},

    {"NSFileManager", '+', "defaultManager", "@@:"},
    {"NSFileManager", '-', "contentsOfDirectoryAtPath:error:", "@@:@^v"},
    {"NSFileManager", '-', "attributesOfItemAtPath:error:", "@@:@^v"},

    {"NSTimer", '+', "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:", "@@:d@:@B"},
    {"NSTimer", '-', "invalidate", "v@:"},
};

}  // namespace faceinventory
