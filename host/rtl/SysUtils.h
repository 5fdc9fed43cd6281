// Locale-aware text comparison, as the host's string lists and menus use it.
#pragma once

#include "rtl/UnicodeString.h"

// Case-insensitive comparison by the user's locale (an ICU collator at secondary strength:
// letter case is ignored, accents are not). Negative, zero or positive.
int AnsiCompareText(std::u16string_view S1, std::u16string_view S2);
bool AnsiSameText(std::u16string_view S1, std::u16string_view S2);
// A key for S under the same comparison: two texts' keys are equal exactly when AnsiSameText
// holds for them, and their code-unit order is AnsiCompareText's order. Cheaper than repeated
// comparisons where one text is compared with many.
UnicodeString AnsiTextKey(std::u16string_view S);

// Case-insensitive equality by ASCII letters only, as the host uses for identifiers
// (component, property and method names).
bool SameText(std::u16string_view S1, std::u16string_view S2);

// Unicode full case folding (ICU): 'Ä' and 'ä' fold alike; used where names are keys.
UnicodeString FoldCase(std::u16string_view S);
