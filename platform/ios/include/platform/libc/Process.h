#pragma once
#include "../../../../libc/Process.h"
