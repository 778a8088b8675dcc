// The simulator is a module of its own and does not link the program's core
// library; it compiles the program's INI reader (with the number reader and
// the file helpers) in, so its scenario files follow exactly the same lookup
// rules as the program's settings.
#include "platform/IniFile.cpp"
#include "platform/Decimal.cpp"
#include "platform/FileHandle.cpp"
