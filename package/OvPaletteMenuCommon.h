// Helpers shared by the palette menu units.
#pragma once

#include "rtl/UnicodeString.h"

// The tab key of a palette tab caption: the caption with every "&" removed ("&&" included);
// every other character stays, in order.
UnicodeString RemoveAmpersand(const UnicodeString& S);
