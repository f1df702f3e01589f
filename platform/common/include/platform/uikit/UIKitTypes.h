#pragma once

// UIKit's plain types and constants, shared by both targets: the device's own values.

typedef long NSLayoutAttribute;
enum : NSLayoutAttribute {
  NSLayoutAttributeNotAnAttribute = 0,
  NSLayoutAttributeLeft = 1,
  NSLayoutAttributeRight = 2,
  NSLayoutAttributeTop = 3,
  NSLayoutAttributeBottom = 4,
  NSLayoutAttributeLeading = 5,
  NSLayoutAttributeTrailing = 6,
  NSLayoutAttributeWidth = 7,
  NSLayoutAttributeHeight = 8,
  NSLayoutAttributeCenterX = 9,
  NSLayoutAttributeCenterY = 10,
};
typedef long NSLayoutRelation;
enum : NSLayoutRelation { NSLayoutRelationEqual = 0 };

typedef long NSTextAlignment;
enum : NSTextAlignment { NSTextAlignmentLeft = 0, NSTextAlignmentCenter = 1, NSTextAlignmentRight = 2 };

typedef long UIImageRenderingMode;
enum : UIImageRenderingMode {
  UIImageRenderingModeAutomatic = 0,
  UIImageRenderingModeAlwaysOriginal = 1,
  UIImageRenderingModeAlwaysTemplate = 2,
};

typedef long UITableViewCellStyle;
enum : UITableViewCellStyle { UITableViewCellStyleDefault = 0, UITableViewCellStyleValue1 = 1 };
typedef long UITableViewCellAccessoryType;
enum : UITableViewCellAccessoryType {
  UITableViewCellAccessoryNone = 0,
  UITableViewCellAccessoryDisclosureIndicator = 1,
  UITableViewCellAccessoryCheckmark = 3,
};

typedef long UIStatusBarStyle;
enum : UIStatusBarStyle { UIStatusBarStyleDefault = 0, UIStatusBarStyleLightContent = 1 };

typedef long UIUserInterfaceIdiom;
enum : UIUserInterfaceIdiom { UIUserInterfaceIdiomPhone = 0, UIUserInterfaceIdiomPad = 1 };

typedef long UIBarButtonSystemItem;
enum : UIBarButtonSystemItem { UIBarButtonSystemItemCompose = 7 };
