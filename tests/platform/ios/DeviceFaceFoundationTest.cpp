// The face's objc and Foundation headers against the stand-in, built against
// the face alone: each face function runs for real, its result is checked, and
// what a pool should free is freed.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/objc/AutoreleasePool.h"
#include "../../support/TemporaryDevice.h"
#include "FaceLeakCheck.h"
#include "platform/foundation/Foundation.h"
#include "platform/foundation/NSBundle.h"
#include "platform/objc/Methods.h"
#include "support/Objects.h"

// The clock the stand-in's run loops go by, for the timers: the face has none.
namespace foundation::clock {
void useTestClock();
void advance(double seconds);
}  // namespace foundation::clock

namespace {

using facetest::expectNoLeak;

std::string text(const NSString* string) { return string ? orvane::utf8(string) : "(nil)"; }

TEST(DeviceFaceFoundation, RootClassAnswersWhatObjectsAreAsked) {
  expectNoLeak([] {
    Retained<NSObject> object = objc::allocInit<NSObject>(NSObject::class_(), ORVANE_SEL("init"));
    ASSERT_TRUE(object);
    EXPECT_TRUE(object->isKindOfClass(NSObject::class_()));
    EXPECT_FALSE(object->isKindOfClass(NSString::class_()));
    EXPECT_TRUE(object->respondsToSelector(ORVANE_SEL("description")));
    EXPECT_FALSE(object->respondsToSelector(ORVANE_SEL("noSuchSelectorAnywhere")));
    EXPECT_EQ(orvane::describe(object.get()).rfind("<NSObject: 0x", 0), 0u) << orvane::describe(object.get());
    EXPECT_EQ(orvane::describe(nullptr), "(null)");

    Retained<NSString> string = NSString::stringWithUTF8String("text");
    EXPECT_EQ(orvane::as<NSString>(string.get()), string.get());
    EXPECT_EQ(orvane::as<NSArray>(string.get()), nullptr);
    EXPECT_EQ(orvane::as<NSString>(nullptr), nullptr);
    // A string describes itself as its own text.
    EXPECT_EQ(string->description(), string.get());

    Retained<NSArray> allocated = objc::alloc<NSArray>();
    ASSERT_TRUE(allocated);
    EXPECT_TRUE(allocated->isKindOfClass(NSArray::class_()));
  });
}

TEST(DeviceFaceFoundation, ClassesAreFoundByNameAlongTheirChain) {
  EXPECT_EQ(objc_getProtocol("FaceNoSuchProtocol"), nullptr);
  EXPECT_EQ(objc_getClass("FaceNoSuchClass"), nullptr);
  Class base = objc_allocateClassPair(NSObject::class_(), "FaceChainBase", 0);
  ASSERT_TRUE(base);
  objc_registerClassPair(base);
  Class derived = objc_allocateClassPair(base, "FaceChainDerived", 0);
  objc_registerClassPair(derived);
  EXPECT_EQ(objc_getClass("FaceChainDerived"), derived);
  EXPECT_STREQ(class_getName(derived), "FaceChainDerived");
  EXPECT_EQ(class_getSuperclass(derived), base);
  EXPECT_TRUE(objc::inherits(derived, NSObject::class_()));
  EXPECT_FALSE(objc::inherits(base, derived));
}

// Protocols are made by the runtime's own functions, which the product never calls.
extern "C" Protocol* objc_allocateProtocol(const char* name);
extern "C" void objc_registerProtocol(Protocol* protocol);

TEST(DeviceFaceFoundation, ConformanceIsAskedOfTheWholeClassChain) {
  Protocol* protocol = objc_allocateProtocol("FaceTestDelegate");
  ASSERT_TRUE(protocol);
  objc_registerProtocol(protocol);
  EXPECT_EQ(objc_getProtocol("FaceTestDelegate"), protocol);
  Class base = objc_allocateClassPair(NSObject::class_(), "FaceConformingBase", 0);
  objc_registerClassPair(base);
  Class derived = objc_allocateClassPair(base, "FaceConformingDerived", 0);
  objc_registerClassPair(derived);
  EXPECT_TRUE(class_addProtocol(base, protocol));
  EXPECT_FALSE(class_addProtocol(base, protocol));
  EXPECT_TRUE(class_conformsToProtocol(base, protocol));
  EXPECT_FALSE(class_conformsToProtocol(derived, protocol));
  Retained<NSObject> object = objc::allocInit<NSObject>(derived, ORVANE_SEL("init"));
  EXPECT_TRUE(object->conformsToProtocol(protocol));
  EXPECT_FALSE(objc::allocInit<NSObject>(NSObject::class_(), ORVANE_SEL("init"))->conformsToProtocol(protocol));
}

int describeCalls = 0;

TEST(DeviceFaceFoundation, TheRuntimesFunctionsBuildAndInspectAClass) {
  Class cls = objc_allocateClassPair(NSObject::class_(), "FaceInspected", 0);
  ASSERT_TRUE(cls);
  EXPECT_EQ(objc_allocateClassPair(NSObject::class_(), "FaceInspected", 0), nullptr);
  ASSERT_TRUE(class_addIvar(cls, "_delegate", sizeof(id), 3, "@"));
  EXPECT_FALSE(class_addIvar(cls, "_delegate", sizeof(id), 3, "@"));
  auto first = +[](id, SEL) -> long { return 1; };
  auto second = +[](id, SEL) -> long { return 2; };
  EXPECT_TRUE(class_addMethod(cls, ORVANE_SEL("number"), reinterpret_cast<IMP>(first), "q@:"));
  EXPECT_FALSE(class_addMethod(cls, ORVANE_SEL("number"), reinterpret_cast<IMP>(second), "q@:"));
  objc_registerClassPair(cls);
  EXPECT_FALSE(class_addIvar(cls, "_late", sizeof(id), 3, "@"));
  EXPECT_NE(objc_getMetaClass("FaceInspected"), nullptr);
  EXPECT_NE(objc_getMetaClass("FaceInspected"), cls);

  Ivar ivar = class_getInstanceVariable(cls, "_delegate");
  ASSERT_TRUE(ivar);
  EXPECT_STREQ(ivar_getName(ivar), "_delegate");
  EXPECT_STREQ(ivar_getTypeEncoding(ivar), "@");
  EXPECT_GE(static_cast<size_t>(ivar_getOffset(ivar)) + sizeof(id), sizeof(id));
  EXPECT_GE(class_getInstanceSize(cls), static_cast<size_t>(ivar_getOffset(ivar)) + sizeof(id));
  EXPECT_EQ(class_getInstanceVariable(cls, "_missing"), nullptr);

  size_t before = objc_liveObjectCount();
  {
    AutoreleasePool pool;
    id object = class_createInstance(cls, 0);
    ASSERT_TRUE(object);
    EXPECT_EQ(object_getClass(object), cls);
    EXPECT_STREQ(object_getClassName(object), "FaceInspected");
    EXPECT_EQ(object_getIvar(object, ivar), nullptr);
    Retained<NSString> delegate = NSString::stringWithUTF8String("delegate");
    object_setIvar(object, ivar, delegate.get());
    EXPECT_EQ(object_getIvar(object, ivar), delegate.get());

    Method method = class_getInstanceMethod(cls, ORVANE_SEL("number"));
    ASSERT_TRUE(method);
    EXPECT_EQ(method_getName(method), ORVANE_SEL("number"));
    EXPECT_STREQ(sel_getName(method_getName(method)), "number");
    EXPECT_STREQ(method_getTypeEncoding(method), "q@:");
    EXPECT_EQ(method_getImplementation(method), reinterpret_cast<IMP>(first));
    EXPECT_EQ(class_getMethodImplementation(cls, ORVANE_SEL("number")), reinterpret_cast<IMP>(first));
    EXPECT_EQ(objc::sendMessage<long>(object, ORVANE_SEL("number")), 1);
    EXPECT_EQ(method_setImplementation(method, reinterpret_cast<IMP>(second)), reinterpret_cast<IMP>(first));
    EXPECT_EQ(objc::sendMessage<long>(object, ORVANE_SEL("number")), 2);
    EXPECT_EQ(class_replaceMethod(cls, ORVANE_SEL("number"), reinterpret_cast<IMP>(first), "q@:"),
              reinterpret_cast<IMP>(second));
    EXPECT_EQ(objc_msgSend<long>(object, ORVANE_SEL("number")), 1);
    EXPECT_TRUE(class_respondsToSelector(cls, ORVANE_SEL("number")));
    EXPECT_TRUE(class_respondsToSelector(cls, ORVANE_SEL("description")));
    EXPECT_FALSE(class_respondsToSelector(cls, ORVANE_SEL("unknown")));

    // Associated objects: retained ones are released with the object, assigned ones are not owned.
    static char retainedKey, assignedKey;
    objc_setAssociatedObject(object, &retainedKey, NSString::stringWithUTF8String("kept").get(),
                             OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    objc_setAssociatedObject(object, &assignedKey, delegate.get(), OBJC_ASSOCIATION_ASSIGN);
    EXPECT_EQ(orvane::utf8(static_cast<NSString*>(objc_getAssociatedObject(object, &retainedKey))), "kept");
    EXPECT_EQ(objc_getAssociatedObject(object, &assignedKey), delegate.get());
    objc_removeAssociatedObjects(object);
    EXPECT_EQ(objc_getAssociatedObject(object, &retainedKey), nullptr);
    objc_setAssociatedObject(object, &retainedKey, NSString::stringWithUTF8String("again").get(),
                             OBJC_ASSOCIATION_RETAIN);

    EXPECT_EQ(objc_sync_enter(object), 0);
    EXPECT_EQ(objc_sync_enter(object), 0);  // recursive
    EXPECT_EQ(objc_sync_exit(object), 0);
    EXPECT_EQ(objc_sync_exit(object), 0);

    EXPECT_EQ(objc_retain(object), object);
    objc_release(object);
    objc_autorelease(object);  // the pool's release is the creation's
  }
  EXPECT_EQ(objc_liveObjectCount(), before) << "the instance or its associated string outlived the pool";
}

constexpr objc::InstanceVariable<long> taps{"_taps"};

/// A class defined with the shared helpers, as the product defines its own.
Class facePageClass() {
  using objc::method;
  return objc::defineClass({
      .name = "FacePage",
      .superclass = NSObject::class_(),
      .ivars = {taps, objc::InstanceVariable<NSString*>{"_title"}},
      .methods = {method("init", +[](NSObject* self, SEL) -> id {
                    id made = objc::sendSuperMessage<id>(ORVANE_CLASS("FacePage"), self, ORVANE_SEL("init"));
                    if (made) taps.of(made) = 10;
                    return made;
                  }),
                  method("tap", +[](NSObject* self, SEL) -> long { return ++taps.of(self); }),
                  method("description", +[](NSObject* self, SEL) -> NSString* {
                    ++describeCalls;
                    // The root class's description, then the page's own.
                    auto* root = objc_msgSendSuper<NSString*>({self, NSObject::class_()}, ORVANE_SEL("description"));
                    return NSString::stringWithFormat(NSSTR("%@ taps=%ld"), root, taps.of(self)).autorelease();
                  }),
                  method<&NSObject::isKindOfClass>("isKindOf:")},
      .classMethods = {method("pageCount", +[](Class, SEL) -> long { return 3; })},
  });
}

TEST(DeviceFaceFoundation, SharedHelpersDefineAClassWithStateAndSuperSends) {
  Class cls = facePageClass();
  EXPECT_EQ(facePageClass(), cls);
  expectNoLeak([cls] {
    Retained<NSObject> page = objc::make<NSObject>(cls, "init");
    ASSERT_TRUE(page);
    EXPECT_EQ(objc::send<long>(page.get(), "tap"), 11);
    EXPECT_EQ(objc::sendMessage<long>(page.get(), ORVANE_SEL("tap")), 12);
    std::string described = orvane::describe(page.get());
    EXPECT_EQ(described.rfind("<FacePage: 0x", 0), 0u) << described;
    EXPECT_NE(described.find("taps=12"), std::string::npos) << described;
    EXPECT_EQ(objc::sendMessage<long>(cls, ORVANE_SEL("pageCount")), 3);
    EXPECT_TRUE(objc::send<BOOL>(page.get(), "isKindOf:", NSObject::class_()));
    EXPECT_FALSE(objc::send<BOOL>(page.get(), "isKindOf:", NSString::class_()));
    NSString* rootDescription = objc::sendSuper<NSString*>(cls, page.get(), "description");
    ASSERT_TRUE(rootDescription);
    EXPECT_EQ(orvane::utf8(rootDescription).find("taps="), std::string::npos) << orvane::utf8(rootDescription);
    // The instance variable is read with its own type only.
    EXPECT_THROW(objc::instanceVariable<double>(page.get(), "_taps"), std::exception);
    EXPECT_THROW(objc::instanceVariable<long>(page.get(), "_none"), std::exception);
    // make refuses what an initialiser gives that is not of the class asked for.
    EXPECT_FALSE(objc::make<NSString>(cls, "init"));
  });
  EXPECT_GT(describeCalls, 0);
}

TEST(DeviceFaceFoundation, StringsAreMadeComparedAndCut) {
  expectNoLeak([] {
    Retained<NSString> path = NSString::stringWithUTF8String("/Library/Sounds/Chime.wav");
    EXPECT_EQ(path->length(), 25u);
    EXPECT_EQ(text(path->lastPathComponent().get()), "Chime.wav");
    EXPECT_EQ(text(path->stringByDeletingPathExtension().get()), "/Library/Sounds/Chime");
    EXPECT_EQ(text(path->stringByAppendingString(NSSTR(".bak")).get()), "/Library/Sounds/Chime.wav.bak");
    EXPECT_TRUE(path->hasPrefix(NSSTR("/Library")));
    EXPECT_TRUE(path->hasSuffix(NSSTR(".wav")));
    EXPECT_FALSE(path->hasSuffix(NSSTR(".caf")));
    EXPECT_FALSE(path->hasPrefix(NSSTR("")));
    EXPECT_TRUE(path->isEqualToString(NSSTR("/Library/Sounds/Chime.wav")));
    EXPECT_FALSE(path->isEqualToString(nullptr));
    EXPECT_STREQ(path->UTF8String(), "/Library/Sounds/Chime.wav");
    EXPECT_EQ(NSString::string()->length(), 0u);
    EXPECT_TRUE(NSSTR("YES")->boolValue());
    EXPECT_TRUE(NSSTR(" 007")->boolValue());
    EXPECT_FALSE(NSSTR("0")->boolValue());
    EXPECT_FALSE(NSSTR("no")->boolValue());
    // Length counts UTF-16 units: é is one, 🎵 two.
    EXPECT_EQ(NSString::stringWithUTF8String("é🎵")->length(), 3u);
  });
}

TEST(DeviceFaceFoundation, BytesThatAreNoUtf8MakeNoString) {
  expectNoLeak([] {
    EXPECT_FALSE(NSString::stringWithUTF8String("\xff\xfe"));
    EXPECT_FALSE(NSString::stringWithUTF8String("\xc0\xaf"));        // overlong
    EXPECT_FALSE(NSString::stringWithUTF8String("\xed\xa0\x80"));    // a surrogate
    EXPECT_FALSE(NSString::stringWithUTF8String("ok\xe2\x82"));      // cut short
    EXPECT_TRUE(NSString::stringWithUTF8String(std::string_view("a\0b", 3)));
  });
}

TEST(DeviceFaceFoundation, ConstantsAreOneImmortalObjectPerText) {
  NSString* first = NSSTR("com.quillmark.face-test");
  EXPECT_EQ(NSSTR("com.quillmark.face-test"), first);
  EXPECT_EQ(orvane::constantString("com.quillmark.face-test"), first);
  EXPECT_NE(orvane::constantString("com.quillmark.face-test2"), first);
  size_t before = objc_liveObjectCount();
  for (int i = 0; i < 3; ++i) {
    AutoreleasePool pool;
    Retained<NSString> reference = objc::retain(first);
  }
  EXPECT_EQ(objc_liveObjectCount(), before);
  EXPECT_EQ(text(first), "com.quillmark.face-test");
}

TEST(DeviceFaceFoundation, FormatsReadEveryConversionFromTheCall) {
  expectNoLeak([] {
    Retained<NSString> name = NSString::stringWithUTF8String("Chime");
    Retained<NSNumber> seven = NSNumber::numberWithInteger(7);
    Retained<NSString> formatted = NSString::stringWithFormat(
        NSSTR("%@|%@|%d|%i|%u|%ld|%lu|%lld|%llu|%x|%s|%c|%%|%@"), name, seven, -3, 42, 4000000000u, -5000000000L,
        6000000000UL, -7LL, 8ULL, 255u, "raw", 'Z', static_cast<NSString*>(nullptr));
    ASSERT_TRUE(formatted);
    EXPECT_EQ(text(formatted.get()), "Chime|7|-3|42|4000000000|-5000000000|6000000000|-7|8|ff|raw|Z|%|(null)");

    EXPECT_EQ(text(NSString::stringWithFormat(NSSTR("%f %g %.2f"), 1.5, 0.25, 2.0 / 3).get()), "1.500000 0.25 0.67");
    EXPECT_EQ(text(NSString::stringWithFormat(NSSTR("%5d|%-4s|%03u"), 12, "ab", 7u).get()), "   12|ab  |007");
    // The format alone, and a percent sign at its very end.
    EXPECT_EQ(text(NSString::stringWithFormat(NSSTR("no arguments")).get()), "no arguments");
    EXPECT_EQ(text(NSString::stringWithFormat(NSSTR("50%")).get()), "50%");
    // Arguments of the product's own types: a Boolean passes as an int.
    EXPECT_EQ(text(NSString::stringWithFormat(NSSTR("%d %d"), true, false).get()), "1 0");
  });
}

TEST(DeviceFaceFoundation, ArraysHoldWhatTheyAreGiven) {
  expectNoLeak([] {
    Retained<NSString> a = NSString::stringWithUTF8String("a"), b = NSString::stringWithUTF8String("b");
    Retained<NSArray> literal = NSArray::arrayWithObjects({a.get(), b.get()});
    ASSERT_TRUE(literal);
    EXPECT_EQ(literal->count(), 2u);
    EXPECT_EQ(literal->objectAtIndex(1), b.get());
    EXPECT_THROW(literal->objectAtIndex(2), std::exception);

    const id items[] = {b.get(), a.get(), b.get()};
    Retained<NSArray> counted = NSArray::arrayWithObjects(items, 3);
    std::string joined;
    for (Retained<objc_object>& element : *counted) joined += text(orvane::as<NSString>(element.get()));
    EXPECT_EQ(joined, "bab");
    EXPECT_EQ(NSArray::array()->count(), 0u);

    // The array keeps its elements after the caller lets go.
    Retained<NSArray> kept;
    {
      Retained<NSString> only = NSString::stringWithUTF8String("only");
      kept = NSArray::arrayWithObjects({only.get()});
    }
    EXPECT_EQ(text(orvane::as<NSString>(kept->objectAtIndex(0))), "only");

    Retained<NSMutableArray> mutableArray = NSMutableArray::array();
    ASSERT_TRUE(mutableArray);
    EXPECT_TRUE(mutableArray->isKindOfClass(NSMutableArray::class_()));
    mutableArray->addObject(a.get());
    mutableArray->addObject(literal.get());
    EXPECT_EQ(mutableArray->count(), 2u);
    EXPECT_THROW(mutableArray->addObject(nullptr), std::exception);
    mutableArray->removeAllObjects();
    EXPECT_EQ(mutableArray->count(), 0u);
  });
}

TEST(DeviceFaceFoundation, AClusterAllocatesItsMutableKindThroughTheSameInitialiser) {
  expectNoLeak([] {
    Retained<NSString> a = NSString::stringWithUTF8String("a");
    id objects[] = {a.get(), a.get()};
    auto made = objc::allocInit<NSMutableArray>(NSMutableArray::class_(), ORVANE_SEL("initWithObjects:count:"),
                                                static_cast<const id*>(objects), 2ul);
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->isKindOfClass(NSMutableArray::class_()));
    EXPECT_EQ(made->count(), 2u);
    made->addObject(a.get());
    EXPECT_EQ(made->count(), 3u);
    // A nil element is refused, and the half-made array freed.
    id withNil[] = {a.get(), nullptr};
    EXPECT_THROW(NSArray::arrayWithObjects(withNil, 2), std::exception);
  });
}

TEST(DeviceFaceFoundation, DictionariesStoreReadAndWriteProperties) {
  testsupport::TemporaryDevice device;
  expectNoLeak([] {
    Retained<NSMutableDictionary> settings = NSMutableDictionary::dictionary();
    ASSERT_TRUE(settings);
    settings->setObject_forKey(NSNumber::numberWithBool(true).get(), NSSTR("isEnabled"));
    settings->setObject_forKey(NSString::stringWithUTF8String("Chime").get(), NSSTR("selectedIncreaseSound"));
    EXPECT_EQ(settings->count(), 2u);
    EXPECT_THROW(settings->setObject_forKey(nullptr, NSSTR("isEnabled")), std::exception);
    EXPECT_EQ(text(orvane::as<NSString>(settings->objectForKey(NSSTR("selectedIncreaseSound")))), "Chime");
    EXPECT_EQ(settings->objectForKey(NSSTR("missing")), nullptr);
    Retained<NSArray> keys = settings->allKeys();
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->count(), 2u);

    Retained<NSMutableDictionary> more = NSMutableDictionary::dictionary();
    more->setObject_forKey(NSNumber::numberWithDouble(0.5).get(), NSSTR("volume"));
    more->setObject_forKey(NSString::stringWithUTF8String("Bell").get(), NSSTR("selectedIncreaseSound"));
    settings->addEntriesFromDictionary(more.get());
    settings->addEntriesFromDictionary(nullptr);
    EXPECT_EQ(settings->count(), 3u);
    EXPECT_EQ(text(orvane::as<NSString>(settings->objectForKey(NSSTR("selectedIncreaseSound")))), "Bell");
    settings->removeObjectForKey(NSSTR("volume"));
    settings->removeObjectForKey(NSSTR("never there"));
    EXPECT_EQ(settings->count(), 2u);

    NSString* file = NSSTR("/var/mobile/Library/Preferences/com.quillmark.face-test.plist");
    EXPECT_TRUE(settings->writeToFile_atomically(file, true));
    Retained<NSDictionary> read = NSDictionary::dictionaryWithContentsOfFile(file);
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->isKindOfClass(NSMutableDictionary::class_()));
    EXPECT_EQ(read->count(), 2u);
    auto* enabled = orvane::as<NSNumber>(read->objectForKey(NSSTR("isEnabled")));
    ASSERT_TRUE(enabled);
    EXPECT_TRUE(enabled->boolValue());

    Retained<NSMutableDictionary> editable = NSMutableDictionary::dictionaryWithContentsOfFile(file);
    ASSERT_TRUE(editable);
    EXPECT_TRUE(editable->isKindOfClass(NSMutableDictionary::class_()));
    editable->setObject_forKey(NSNumber::numberWithInteger(3).get(), NSSTR("count"));
    EXPECT_EQ(editable->count(), 3u);

    EXPECT_FALSE(NSDictionary::dictionaryWithContentsOfFile(NSSTR("/var/mobile/nothing.plist")));
    EXPECT_FALSE(NSMutableDictionary::dictionaryWithContentsOfFile(nullptr));
    EXPECT_FALSE(settings->writeToFile_atomically(NSSTR("/no/such/folder/x.plist"), false));
  });
}

TEST(DeviceFaceFoundation, NumbersKeepTheirKindAndValue) {
  expectNoLeak([] {
    Retained<NSNumber> yes = NSNumber::numberWithBool(true);
    Retained<NSNumber> big = NSNumber::numberWithInteger(-5000000000LL);
    Retained<NSNumber> half = NSNumber::numberWithDouble(2.5);
    EXPECT_TRUE(yes->boolValue());
    EXPECT_EQ(yes->integerValue(), 1);
    EXPECT_EQ(big->integerValue(), -5000000000LL);
    EXPECT_EQ(big->doubleValue(), -5e9);
    EXPECT_EQ(half->doubleValue(), 2.5);
    EXPECT_EQ(half->integerValue(), 2);
    EXPECT_TRUE(NSNumber::numberWithDouble(1.0)->isEqualToNumber(yes.get()));
    EXPECT_FALSE(half->isEqualToNumber(big.get()));
    EXPECT_FALSE(half->isEqualToNumber(nullptr));
    EXPECT_EQ(orvane::describe(big.get()), "-5000000000");
  });
}

TEST(DeviceFaceFoundation, DataHoldsBytesAndReadsDeviceFiles) {
  testsupport::TemporaryDevice device;
  testsupport::writeFile(device.host("/var/mobile/sound.bin"), std::string("RIFF\0\x01", 6));
  expectNoLeak([] {
    Retained<NSData> bytes = NSData::dataWithBytes(std::string_view("\0ab", 3));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->length(), 3u);
    EXPECT_EQ(NSData::dataWithBytes("")->length(), 0u);
    Retained<NSData> file = NSData::dataWithContentsOfFile(NSSTR("/var/mobile/sound.bin"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->length(), 6u);
    EXPECT_FALSE(NSData::dataWithContentsOfFile(NSSTR("/var/mobile/none.bin")));
    EXPECT_FALSE(NSData::dataWithContentsOfFile(nullptr));
  });
}

TEST(DeviceFaceFoundation, FileURLsKeepTheirPath) {
  expectNoLeak([] {
    Retained<NSURL> url = NSURL::fileURLWithPath(NSSTR("/Library/Application Support/Orvane/Chime.wav"));
    ASSERT_TRUE(url);
    EXPECT_TRUE(url->isFileURL());
    EXPECT_EQ(orvane::utf8(url->path()), "/Library/Application Support/Orvane/Chime.wav");
    EXPECT_EQ(orvane::utf8(url->absoluteString()), "file:///Library/Application%20Support/Orvane/Chime.wav");
    // No URL without a path; the allocated one is not left behind.
    EXPECT_THROW(NSURL::fileURLWithPath(nullptr), std::exception);
  });
}

TEST(DeviceFaceFoundation, BundlesFindResourcesAndLocalisedText) {
  testsupport::TemporaryDevice device;
  std::string bundle = "/Library/PreferenceBundles/FaceTest.bundle";
  testsupport::writeFile(device.host(bundle + "/Chime.wav"), "RIFF");
  testsupport::writeFile(device.host(bundle + "/en.lproj/Root.strings"), "\"TITLE\" = \"Orvane\";\n");
  expectNoLeak([&] {
    NSBundle* found = NSBundle::bundleWithPath(NSSTR("/Library/PreferenceBundles/FaceTest.bundle"));
    ASSERT_TRUE(found);
    EXPECT_EQ(NSBundle::bundleWithPath(NSSTR("/Library/PreferenceBundles/FaceTest.bundle")), found);
    EXPECT_FALSE(NSBundle::bundleWithPath(NSSTR("/Library/PreferenceBundles/Missing.bundle")));
    EXPECT_EQ(text(found->pathForResource_ofType(NSSTR("Chime"), NSSTR("wav")).get()), bundle + "/Chime.wav");
    EXPECT_FALSE(found->pathForResource_ofType(NSSTR("Bell"), NSSTR("wav")));
    EXPECT_EQ(text(found->localizedStringForKey_value_table(NSSTR("TITLE"), nullptr, NSSTR("Root")).get()), "Orvane");
    EXPECT_EQ(text(found->localizedStringForKey_value_table(NSSTR("OTHER"), NSSTR("Fallback"), NSSTR("Root")).get()),
              "Fallback");
    EXPECT_EQ(text(found->localizedStringForKey_value_table(NSSTR("OTHER"), nullptr, NSSTR("Root")).get()), "OTHER");
  });
}

TEST(DeviceFaceFoundation, TheFileManagerListsAndDescribesItems) {
  testsupport::TemporaryDevice device;
  testsupport::writeFile(device.host("/Library/Application Support/Orvane/b.wav"), "12345");
  testsupport::writeFile(device.host("/Library/Application Support/Orvane/A.wav"), "1");
  expectNoLeak([] {
    NSFileManager* manager = NSFileManager::defaultManager();
    ASSERT_TRUE(manager);
    EXPECT_EQ(NSFileManager::defaultManager(), manager);
    Retained<NSArray> names =
        manager->contentsOfDirectoryAtPath_error(NSSTR("/Library/Application Support/Orvane"), nullptr);
    ASSERT_TRUE(names);
    ASSERT_EQ(names->count(), 2u);
    EXPECT_EQ(text(orvane::as<NSString>(names->objectAtIndex(0))), "A.wav");
    EXPECT_FALSE(manager->contentsOfDirectoryAtPath_error(NSSTR("/Library/Nothing"), nullptr));

    Retained<NSDictionary> attributes =
        manager->attributesOfItemAtPath_error(NSSTR("/Library/Application Support/Orvane/b.wav"), nullptr);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->fileSize(), 5u);
    EXPECT_EQ(text(attributes->fileType()), "NSFileTypeRegular");
    Retained<NSDictionary> folder = manager->attributesOfItemAtPath_error(NSSTR("/Library"), nullptr);
    ASSERT_TRUE(folder);
    EXPECT_EQ(text(folder->fileType()), "NSFileTypeDirectory");
    EXPECT_FALSE(manager->attributesOfItemAtPath_error(NSSTR("/Library/none"), nullptr));
  });
}

int timerFirings = 0;

TEST(DeviceFaceFoundation, TimersSendToTheirTargetUntilInvalidated) {
  foundation::clock::useTestClock();
  Class targetClass = objc_allocateClassPair(NSObject::class_(), "FaceTimerTarget", 0);
  class_addMethod(targetClass, ORVANE_SEL("tick:"), reinterpret_cast<IMP>(+[](id, SEL, id timer) {
                    EXPECT_TRUE(static_cast<NSObject*>(timer)->isKindOfClass(NSTimer::class_()));
                    ++timerFirings;
                  }),
                  "v@:@");
  objc_registerClassPair(targetClass);
  foundation::clock::advance(0);  // makes the thread's run loop, which lives on
  size_t before = objc_liveObjectCount();
  {
    AutoreleasePool pool;
    Retained<NSObject> target = objc::allocInit<NSObject>(targetClass, ORVANE_SEL("init"));
    NSTimer* once = NSTimer::scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(
        1.0, target.get(), ORVANE_SEL("tick:"), nullptr, false);
    NSTimer* repeating = NSTimer::scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(
        0.5, target.get(), ORVANE_SEL("tick:"), nullptr, true);
    ASSERT_TRUE(once && repeating);
    foundation::clock::advance(1.2);
    EXPECT_EQ(timerFirings, 3);  // the repeating one twice
    repeating->invalidate();
    foundation::clock::advance(2.0);
    EXPECT_EQ(timerFirings, 3);
  }
  // The run loop let go of both timers, and they of the target.
  EXPECT_EQ(objc_liveObjectCount(), before);
}

TEST(DeviceFaceFoundation, ASendTheStandInCannotAnswerIsRefused) {
  Retained<NSString> string = NSString::stringWithUTF8String("x");
  try {
    objc::sendMessage<void>(string.get(), ORVANE_SEL("removeAllObjects"));
    ADD_FAILURE() << "an NSString answered removeAllObjects";
  } catch (const std::exception& refused) {
    EXPECT_NE(std::string(refused.what()).find("-[NSString removeAllObjects]: unrecognized selector"),
              std::string::npos)
        << refused.what();
  }
  // The right selector sent with the wrong result type.
  EXPECT_THROW(objc::sendMessage<double>(string.get(), ORVANE_SEL("length")), std::exception);
  // A send to nil is answered with zero.
  EXPECT_EQ(objc::sendMessage<unsigned long>(static_cast<NSString*>(nullptr), ORVANE_SEL("length")), 0u);
}

}  // namespace
