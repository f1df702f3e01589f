#include "tests/platform/ios/FaceMethods.h"

namespace faceinventory {

// CGRect, CGSize and other structures encode as "?", CGColorRef and blocks
// (made by hand where the compiler has none) as pointers.
const std::vector<FaceMethod> uikitMethods = {
    {"CALayer", '-', "setShadowColor:", "v@:^v"},
    {"CALayer", '-', "setShadowOffset:", "v@:?"},
    {"CALayer", '-', "setShadowOpacity:", "v@:f"},
    {"CALayer", '-', "setShadowRadius:", "v@:d"},

    {"NSLayoutConstraint", '+', "constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:",
     "@@:@qq@qdd"},

    {"UIApplication", '+', "sharedApplication", "@@:"},
    {"UIApplication", '-', "statusBarStyle", "q@:"},
    {"UIApplication", '-', "setStatusBarStyle:", "v@:q"},

    {"UIBarButtonItem", '+', "alloc", "@@:"},
    {"UIBarButtonItem", '-', "initWithBarButtonSystemItem:target:action:", "@@:q@:"},
    {"UIBarButtonItem", '-', "target", "@@:"},
    {"UIBarButtonItem", '-', "action", ":@:"},

    {"UIColor", '+', "colorWithRed:green:blue:alpha:", "@@:dddd"},
    {"UIColor", '+', "whiteColor", "@@:"},
    {"UIColor", '+', "blackColor", "@@:"},
    {"UIColor", '+', "clearColor", "@@:"},
    {"UIColor", '+', "grayColor", "@@:"},
    {"UIColor", '+', "darkGrayColor", "@@:"},
    {"UIColor", '-', "CGColor", "^v@:"},
    {"UIColor", '-', "isEqual:", "B@:@"},

    {"UIDevice", '+', "currentDevice", "@@:"},
    {"UIDevice", '-', "userInterfaceIdiom", "q@:"},

    {"UIFont", '+', "fontWithName:size:", "@@:@d"},
    {"UIFont", '+', "systemFontOfSize:", "@@:d"},
    {"UIFont", '-', "fontName", "@@:"},
    {"UIFont", '-', "pointSize", "d@:"},

    {"UIImage", '+', "imageWithContentsOfFile:", "@@:@"},
    {"UIImage", '-', "imageWithRenderingMode:", "@@:q"},
    {"UIImage", '-', "size", "?@:"},
    {"UIImage", '-', "scale", "d@:"},

    {"UIImageView", '+', "alloc", "@@:"},
    {"UIImageView", '-', "initWithImage:", "@@:@"},
    {"UIImageView", '-', "image", "@@:"},

    {"UILabel", '+', "alloc", "@@:"},
    {"UILabel", '-', "init", "@@:"},
    {"UILabel", '-', "text", "@@:"},
    {"UILabel", '-', "setText:", "v@:@"},
    {"UILabel", '-', "textColor", "@@:"},
    {"UILabel", '-', "setTextColor:", "v@:@"},
    {"UILabel", '-', "font", "@@:"},
    {"UILabel", '-', "setFont:", "v@:@"},
    {"UILabel", '-', "numberOfLines", "q@:"},
    {"UILabel", '-', "setNumberOfLines:", "v@:q"},
    {"UILabel", '-', "textAlignment", "q@:"},
    {"UILabel", '-', "setTextAlignment:", "v@:q"},

    {"UINavigationBar", '-', "tintColor", "@@:"},
    {"UINavigationBar", '-', "setTintColor:", "v@:@"},
    {"UINavigationBar", '-', "barTintColor", "@@:"},
    {"UINavigationBar", '-', "setBarTintColor:", "v@:@"},
    {"UINavigationBar", '-', "titleTextAttributes", "@@:"},
    {"UINavigationBar", '-', "setTitleTextAttributes:", "v@:@"},

    {"UINavigationItem", '-', "title", "@@:"},
    {"UINavigationItem", '-', "setTitle:", "v@:@"},
    {"UINavigationItem", '-', "titleView", "@@:"},
    {"UINavigationItem", '-', "setTitleView:", "v@:@"},
    {"UINavigationItem", '-', "rightBarButtonItem", "@@:"},
    {"UINavigationItem", '-', "setRightBarButtonItem:", "v@:@"},

    // The proxy's class is private; its setters are those of UISwitch.
    {"_UIAppearance", '-', "setOnTintColor:", "v@:@"},
    {"UISwitch", '+', "appearanceWhenContainedIn:", "@@:#"},
    {"UISwitch", '-', "isOn", "B@:"},
    {"UISwitch", '-', "setOn:", "v@:B"},
    {"UISwitch", '-', "setOnTintColor:", "v@:@"},
    {"UISwitch", '-', "onTintColor", "@@:"},

    {"NSIndexPath", '+', "indexPathForRow:inSection:", "@@:qq"},
    {"NSIndexPath", '-', "row", "q@:"},
    {"NSIndexPath", '-', "section", "q@:"},

    {"UITableViewCell", '-', "reuseIdentifier", "@@:"},
    {"UITableViewCell", '-', "textLabel", "@@:"},
    {"UITableViewCell", '-', "detailTextLabel", "@@:"},
    {"UITableViewCell", '-', "accessoryView", "@@:"},
    {"UITableViewCell", '-', "setAccessoryView:", "v@:@"},
    {"UITableViewCell", '-', "accessoryType", "q@:"},
    {"UITableViewCell", '-', "setAccessoryType:", "v@:q"},

    {"UITableView", '-', "reloadData", "v@:"},
    {"UITableView", '-', "dequeueReusableCellWithIdentifier:", "@@:@"},

    {"UIView", '+', "alloc", "@@:"},
    {"UIView", '-', "initWithFrame:", "@@:?"},
    {"UIView", '-', "frame", "?@:"},
    {"UIView", '-', "setFrame:", "v@:?"},
    {"UIView", '-', "alpha", "d@:"},
    {"UIView", '-', "setAlpha:", "v@:d"},
    {"UIView", '+', "animateWithDuration:animations:completion:", "v@:d^v^v"},
    {"UIView", '-', "backgroundColor", "@@:"},
    {"UIView", '-', "setBackgroundColor:", "v@:@"},
    {"UIView", '-', "addSubview:", "v@:@"},
    {"UIView", '-', "removeFromSuperview", "v@:"},
    {"UIView", '-', "superview", "@@:"},
    {"UIView", '-', "translatesAutoresizingMaskIntoConstraints", "B@:"},
    {"UIView", '-', "setTranslatesAutoresizingMaskIntoConstraints:", "v@:B"},
    {"UIView", '-', "addConstraint:", "v@:@"},
    {"UIView", '-', "layoutIfNeeded", "v@:"},
    {"UIView", '-', "layer", "@@:"},
    {"UIView", '-', "clipsToBounds", "B@:"},
    {"UIView", '-', "setClipsToBounds:", "v@:B"},

    {"UIViewController", '+', "alloc", "@@:"},
    {"UIViewController", '-', "init", "@@:"},
    {"UIViewController", '-', "view", "@@:"},
    {"UIViewController", '-', "isViewLoaded", "B@:"},
    {"UIViewController", '-', "setView:", "v@:@"},
    {"UIViewController", '-', "title", "@@:"},
    {"UIViewController", '-', "setTitle:", "v@:@"},
    {"UIViewController", '-', "navigationItem", "@@:"},
    {"UIViewController", '-', "navigationController", "@@:"},
    {"UIViewController", '-', "presentViewController:animated:completion:", "v@:@B^v"},
    {"UIViewController", '-', "dismissViewControllerAnimated:completion:", "v@:B^v"},
    {"UIViewController", '-', "presentedViewController", "@@:"},
    {"UIViewController", '-', "presentingViewController", "@@:"},

    {"UINavigationController", '-', "init", "@@:"},
    {"UINavigationController", '-', "navigationBar", "@@:"},
    {"UINavigationController", '-', "topViewController", "@@:"},
    {"UINavigationController", '-', "pushViewController:animated:", "v@:@B"},
};

}  // namespace faceinventory
