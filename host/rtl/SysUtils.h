// Locale-aware text comparison, as the host's string lists and menus use it.
#pragma once

#include "rtl/UnicodeString.h"

#include <string>

// Case-insensitive comparison by the user's locale. Negative, zero or positive; zero exactly
// when SimpleFoldCase(S1) == SimpleFoldCase(S2), so that only letter case is ignored: width,
// compatibility, NFC/NFD and ignorable-character variants stay distinct. The order is the
// locale's (an ICU collator at secondary strength on the folded strings: accents count, case
// does not); strings the collator calls equal but whose foldings differ are ordered by the
// folded code units, so the order is total and binary search over it is sound.
int AnsiCompareText(std::u16string_view S1, std::u16string_view S2);
// True exactly when AnsiCompareText(S1, S2) == 0, without a collator.
bool AnsiSameText(std::u16string_view S1, std::u16string_view S2);
// AnsiCompareText of two strings that are already SimpleFoldCase'd, for callers that fold once
// and compare often.
int CompareFoldedText(std::u16string_view Folded1, std::u16string_view Folded2);
// A byte string for S whose order (as unsigned bytes) is AnsiCompareText's order, equal exactly
// when AnsiSameText holds: for sorting many texts with one collation each instead of one per
// comparison.
std::string AnsiCompareTextKey(std::u16string_view S);

// Case-insensitive equality by ASCII letters only, as the host uses for identifiers
// (component, property and method names).
bool SameText(std::u16string_view S1, std::u16string_view S2);

// Unicode simple case folding, code point by code point (each to exactly one code point; a lone
// surrogate stays as it is): "Standard" and "STANDARD" fold alike, "Ａbc" and "Abc" do not.
// This is the rule by which the registry hive, the string lists and the menus' Find treat two
// names as the same ignoring case.
UnicodeString SimpleFoldCase(std::u16string_view S);
// The same into Out, reusing its storage (S must not lie in Out).
void SimpleFoldCaseInto(std::u16string_view S, UnicodeString& Out);
