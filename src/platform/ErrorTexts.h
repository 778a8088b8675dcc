#pragma once
// The texts shown for the numbers of the shared error list, built into the
// program so that a text is never missing.
#include <cstdint>
#include <string>

// The text for an error number; false (and szText empty) when the table has
// no text of its own for it.
bool FindErrorText(uint32_t iNumber, std::string& szText);
// The text, or "Error <n> (0x<hex>)." for numbers without a text of their own
// (scanner sense codes and the sibling tools' numbers).
std::string ErrorText(uint32_t iNumber);
