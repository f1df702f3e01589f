// The inventory of what the device face sends, against the stand-in: every
// selector written in the face's headers is listed, and every listed method is
// answered by the stand-in's class with the listed encoding.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "platform/objc/message.h"
#include "tests/platform/ios/FaceMethods.h"

namespace {

using faceinventory::FaceMethod;

std::vector<FaceMethod> inventory() {
  std::vector<FaceMethod> all;
  for (const auto* list : {&faceinventory::foundationMethods, &faceinventory::uikitMethods,
                           &faceinventory::preferencesMethods})
    all.insert(all.end(), list->begin(), list->end());
  return all;
}

/// Every selector the face's headers name.
std::set<std::string> selectorsInFace() {
  std::set<std::string> found;
  const std::regex named(R"re(ORVANE_SEL\("([^"]+)"\))re");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(ORVANE_FACE_INCLUDE)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    std::string contents = text.str();
    for (std::sregex_iterator match(contents.begin(), contents.end(), named), end; match != end; ++match)
      found.insert((*match)[1]);
  }
  return found;
}

TEST(FaceInventory, ListsEverySelectorTheFaceSends) {
  std::set<std::string> listed;
  for (const FaceMethod& method : inventory()) listed.insert(method.selector);
  std::set<std::string> named = selectorsInFace();
  ASSERT_GT(named.size(), 100u) << "the face's headers were not found at " << ORVANE_FACE_INCLUDE;
  for (const std::string& selector : named) EXPECT_TRUE(listed.count(selector)) << selector << " is sent but not listed";
}

TEST(FaceInventory, TheStandInAnswersEveryListedMethodWithItsEncoding) {
  for (const FaceMethod& method : inventory()) {
    std::string name = std::string(1, method.kind) + "[" + method.className + " " + method.selector + "]";
    Class cls = method.kind == '+' ? objc_getMetaClass(method.className) : objc_getClass(method.className);
    ASSERT_TRUE(cls) << name << ": no such class";
    SEL selector = sel_registerName(method.selector);
    // The check a send makes, asked without an instance.
    try {
      if (method.kind == '+') objc::resolveClassSend(objc_getClass(method.className), selector, method.types);
      else objc::resolveSend(nullptr, cls, selector, method.types);
    } catch (const std::exception& refused) {
      ADD_FAILURE() << name << ": " << refused.what();
    }
  }
}

}  // namespace
