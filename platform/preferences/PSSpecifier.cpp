#include "platform/preferences/PSSpecifier.h"

#include <cstdio>

#include "platform/device/Device.h"
#include "platform/device/FileUtilities.h"
#include "platform/foundation/NSLog.h"
#include "platform/objc/Methods.h"

Class PSSpecifier::class_() {
  static Class cls = [] {
    Class registered = objc_registerCppClass<PSSpecifier>("PSSpecifier", NSObject::class_());
    objc::addFunction(registered, "propertyForKey:", +[](PSSpecifier* self, SEL, NSString* key) -> id {
      return key ? self->propertyForKey(key->utf8()) : nullptr;
    });
    objc::addFunction(registered, "setProperty:forKey:", +[](PSSpecifier* self, SEL, id value, NSString* key) {
      self->setProperty_forKey(value, static_cast<const NSString*>(key));
    });
    objc::addMethod<&PSSpecifier::name>(registered, "name");
    objc::addMethod<&PSSpecifier::setName>(registered, "setName:");
    objc::addMethod<&PSSpecifier::titleDictionary>(registered, "titleDictionary");
    objc::addMethod<&PSSpecifier::setTitleDictionary>(registered, "setTitleDictionary:");
    objc::addMethod<&PSSpecifier::shortTitleDictionary>(registered, "shortTitleDictionary");
    objc::addMethod<&PSSpecifier::setShortTitleDictionary>(registered, "setShortTitleDictionary:");
    return registered;
  }();
  return cls;
}

Retained<PSSpecifier> PSSpecifier::specifier() {
  return objc::alloc<PSSpecifier>();
}

void PSSpecifier::setProperty_forKey(objc_object* value, const NSString* key) {
  if (key) setProperty_forKey(value, key->utf8());
}

void PSSpecifier::setProperty_forKey(objc_object* value, std::string_view key) {
  if (value) properties_->setObject_forKey(value, key);
  else properties_->removeObjectForKey(key);
}

void PSSpecifier::setValues_titles(NSArray* values, NSArray* titles) {
  values_ = objc::retain(values);
  auto dictionary = NSMutableDictionary::dictionary();
  if (values && titles)
    for (std::size_t i = 0; i < values->count() && i < titles->count(); ++i)
      dictionary->setObject_forKey(titles->objectAtIndex(i), foundation::describe(values->objectAtIndex(i)));
  titleDictionary_ = dictionary;
}

Class PSSpecifier::detailControllerClass() const {
  auto* name = objc_cast<NSString>(propertyForKey("detail"));
  return name ? objc_getClass(name->utf8().c_str()) : nullptr;
}

SEL PSSpecifier::action() const {
  auto* name = objc_cast<NSString>(propertyForKey("action"));
  return name && !name->utf8().empty() ? sel_registerName(name->utf8().c_str()) : nullptr;
}

NSString* PSSpecifier::titleForValue(const objc_object* value) const {
  if (!value || !titleDictionary_) return nullptr;
  return objc_cast<NSString>(titleDictionary_->objectForKey(foundation::describe(value)));
}

double PSSpecifier::height() const {
  auto* number = objc_cast<NSNumber>(propertyForKey("height"));
  return number ? number->doubleValue() : 0;
}

std::string PSSpecifier::description() const {
  return "<PSSpecifier " + std::string(PSCellTypeName(cellType_)) + " \"" + (name_ ? name_->utf8() : "") + "\">";
}

namespace {

constexpr std::pair<const char*, PSCellType> cellTypes[] = {
    {"PSGroupCell", PSGroupCell},         {"PSLinkCell", PSLinkCell},           {"PSLinkListCell", PSLinkListCell},
    {"PSListItemCell", PSListItemCell},   {"PSTitleValueCell", PSTitleValueCell}, {"PSSwitchCell", PSSwitchCell},
    {"PSStaticTextCell", PSStaticTextCell}, {"PSButtonCell", PSButtonCell},
};

}  // namespace

PSCellType PSCellTypeFromString(std::string_view name) {
  for (auto& [text, type] : cellTypes)
    if (name == text) return type;
  return -1;
}

const char* PSCellTypeName(PSCellType type) {
  for (auto& [text, value] : cellTypes)
    if (value == type) return text;
  return "?";
}

bool PSValuesEqual(const objc_object* left, const objc_object* right) {
  if (!left || !right) return left == right;
  if (auto* a = dynamic_cast<const NSNumber*>(left))
    if (auto* b = dynamic_cast<const NSNumber*>(right)) return a->isEqualToNumber(b);
  if (auto* a = dynamic_cast<const NSString*>(left))
    if (auto* b = dynamic_cast<const NSString*>(right)) return a->isEqualToString(b);
  return left == right;
}

Retained<NSArray> SpecifiersFromPlist(const std::string& devicePath, NSObject* target, Retained<NSString>* title) {
  auto file = readPropertyListFile(devicePath, foundation::bundlePropertyListMaximumBytes);
  auto* list = file ? objc_cast<NSDictionary>(file->get()) : nullptr;
  auto* items = list ? objc_cast<NSArray>(list->objectForKey("items")) : nullptr;
  if (!items) return nullptr;
  if (title) *title = objc::retain(objc_cast<NSString>(list->objectForKey("title")));

  auto specifiers = NSMutableArray::array();
  std::size_t index = 0;
  for (auto& entry : *items) {
    ++index;
    auto skip = [&](const std::string& why) {
      NSLog("Preferences: %s: item %zu skipped: %s", devicePath.c_str(), index, why.c_str());
    };
    auto* item = objc_cast<NSDictionary>(entry.get());
    if (!item) {
      skip("it is not a dictionary");
      continue;
    }
    auto* cell = objc_cast<NSString>(item->objectForKey("cell"));
    PSCellType type = cell ? PSCellTypeFromString(cell->utf8()) : -1;
    if (type < 0) {
      skip(cell ? "unknown cell type \"" + cell->utf8() + "\"" : "it has no \"cell\"");
      continue;
    }
    auto* validValues = item->objectForKey("validValues");
    auto* validTitles = item->objectForKey("validTitles");
    if ((validValues && !objc_cast<NSArray>(validValues)) || (validTitles && !objc_cast<NSArray>(validTitles))) {
      skip("\"validValues\" and \"validTitles\" must be arrays");
      continue;
    }
    auto specifier = PSSpecifier::specifier();
    specifier->setCellType(type);
    specifier->setTarget(target);
    for (auto& [key, value] : item->entries()) specifier->setProperty_forKey(value.get(), key);
    if (auto* label = objc_cast<NSString>(item->objectForKey("label"))) specifier->setName(label);
    if (validValues) specifier->setValues_titles(objc_cast<NSArray>(validValues), objc_cast<NSArray>(validTitles));
    specifiers->addObject(specifier.get());
  }
  return specifiers;
}

namespace {
[[maybe_unused]] const Class registered = PSSpecifier::class_();
}
