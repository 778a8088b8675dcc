#pragma once
// The programs that draw without a display (lumora-cli's render and convert,
// the thumbnailer) keep stderr for their own messages: what Qt says about its
// surroundings ("XDG_RUNTIME_DIR not set", plugins lacking a feature) goes
// to the log instead, where it helps without breaking a script's reading.
void SendQtMessagesToLog();
