#pragma once
// Shared by both targets: plain types and constants.
#include "../../../../messageui/MessageUITypes.h"
