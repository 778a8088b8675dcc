#pragma once
// The one reader of decimal integers in file text.
#include <cstddef>
#include <cstdint>
#include <string_view>

// One integer at iPos as sscanf("%d") reads it: blanks, an optional sign, at
// least one digit; a value beyond 32 bits is clamped. iPos moves past the
// blanks, and past the number when one is there.
bool ScanDecimal(std::string_view sz, size_t& iPos, int32_t& iOut);

// atoi of a text: the number it starts with, 0 when none.
int32_t AtoiText(std::string_view sz);
