#pragma once
// Header and result texts are 8-bit Windows-1252 bytes; Qt wants Unicode.
#include <QString>
#include <string>

QString FromCp1252(const std::string& sz);
std::string ToCp1252(const QString& s); // characters outside the code page become '?'
