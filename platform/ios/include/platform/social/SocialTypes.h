#pragma once
// Shared by both targets: plain types and constants.
#include "../../../../social/SocialTypes.h"
