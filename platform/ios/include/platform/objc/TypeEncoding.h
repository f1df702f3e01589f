#pragma once
// Shared by both targets: type encodings are plain C++.
#include "../../../../objc/TypeEncoding.h"
