#pragma once
// Shared by both targets: the umbrella names the same headers, each target's own.
#include "../../../../uikit/UIKit.h"
