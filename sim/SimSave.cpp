// The device's state file is saved the way the program saves its files; the
// module links no core library, so it compiles the program's writer in.
#include "platform/AtomicFile.cpp"
