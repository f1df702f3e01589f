#pragma once
// Shared by both targets: plain types and constants.
#include "../../../../uikit/UIKitTypes.h"
