// Element helpers the settings frames share: the variant kinds of their props arrays.
#pragma once
#include <cstdint>
#include <vector>

#include "OleAuto.h"

// An unsigned 8-bit and a signed 16-bit integer variant.
OleVariant VarByte(uint8_t v);
OleVariant VarSmallInt(int16_t v);
// The value as an unsigned 8-bit integer; one out of range raises the variant overflow error.
uint8_t VarToByte(const OleVariant& v);
// The elements of a props array; fewer than count raises the variant index error.
std::vector<OleVariant> PropsElements(const OleVariant& Props, size_t count);
