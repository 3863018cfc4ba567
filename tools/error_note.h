// The tools report diagnostics the one way the program does (base/diagnostic.h).
#pragma once
#include "base/diagnostic.h"
