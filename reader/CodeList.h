// Code-text lists of device descriptions ("0=закрыт;1=открыт"): the splitting at ";" and the
// entries it gives. Free of the windowing layer.
#pragma once
#include <string>
#include <vector>

#include "DevInfo.h"

// Splits a list at ";" the way the platform's delimited text does: blanks (codes 1 to 32)
// separate entries, an entry may be quoted with doubled quotes inside, and a ";" at the very
// end adds an empty entry.
std::vector<std::string> SplitDelimited(const std::string& text);
// The entries of a list text: blanks become no-break spaces first, so that they stay in the
// texts; an entry without "=" is skipped. A code that is no integer raises EConvertError.
std::vector<TValueStr> ParseValueList(const std::string& listText);
