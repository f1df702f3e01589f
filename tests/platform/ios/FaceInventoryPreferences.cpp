#include "tests/platform/ios/FaceMethods.h"

namespace faceinventory {

const std::vector<FaceMethod> preferencesMethods = {
    {"PSListController", '-', "bundle", "@@:"},
    {"PSListController", '-', "specifier", "@@:"},
    {"PSListController", '-', "table", "@@:"},
    {"PSListController", '-', "reloadSpecifiers", "v@:"},
    // The product's pages of choices inherit what the face sends to a page.
    {"PSListItemsController", '-', "specifier", "@@:"},
    {"PSListItemsController", '-', "reloadSpecifiers", "v@:"},

    {"PSSpecifier", '-', "propertyForKey:", "@@:@"},
    {"PSSpecifier", '-', "setProperty:forKey:", "v@:@@"},
    {"PSSpecifier", '-', "name", "@@:"},
    {"PSSpecifier", '-', "setName:", "v@:@"},
    {"PSSpecifier", '-', "titleDictionary", "@@:"},
    {"PSSpecifier", '-', "setTitleDictionary:", "v@:@"},
    {"PSSpecifier", '-', "shortTitleDictionary", "@@:"},
    {"PSSpecifier", '-', "setShortTitleDictionary:", "v@:@"},

    {"PSTableCell", '-', "titleLabel", "@@:"},
    {"PSTableCell", '-', "specifier", "@@:"},

    {"MFMailComposeViewController", '+', "canSendMail", "B@:"},
    {"MFMailComposeViewController", '+', "alloc", "@@:"},
    {"MFMailComposeViewController", '-', "init", "@@:"},
    {"MFMailComposeViewController", '-', "setSubject:", "v@:@"},
    {"MFMailComposeViewController", '-', "setToRecipients:", "v@:@"},
    {"MFMailComposeViewController", '-', "setMessageBody:isHTML:", "v@:@B"},
    {"MFMailComposeViewController", '-', "addAttachmentData:mimeType:fileName:", "v@:@@@"},
    {"MFMailComposeViewController", '-', "setMailComposeDelegate:", "v@:@"},

    {"SLComposeViewController", '+', "isAvailableForServiceType:", "B@:@"},
    {"SLComposeViewController", '+', "composeViewControllerForServiceType:", "@@:@"},
    {"SLComposeViewController", '-', "setInitialText:", "B@:@"},
    {"SLComposeViewController", '-', "setCompletionHandler:", "v@:^v"},
};

}  // namespace faceinventory
