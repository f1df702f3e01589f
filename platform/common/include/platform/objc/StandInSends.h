#pragma once

// The simulated device's runtime only: what the device face's sends reach in
// place of objc_msgSend's own search, the method found for the receiver
// (searched from `start` for a send to super) and checked against the send's
// encoding. They raise NSInvalidArgumentException as a send does.
extern "C" {
IMP objc_lookUpForSend(id receiver, SEL selector, const char* types);
IMP objc_lookUpClassForSend(Class receiver, SEL selector, const char* types);
IMP objc_lookUpSuperForSend(id receiver, Class start, SEL selector, const char* types);
void objc_throwIvarMismatch(id object, const char* name, char expected);
}
