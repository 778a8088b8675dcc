#pragma once
// From the process arguments to the one file name the launcher opens. The
// desktop hands the whole path over as the command line, quoted or not; the
// rules below pick the name out of what the shells and file managers send.
#include <string>

// The raw command line: the arguments after the program name joined with
// single blanks (quotes the shell removed are not put back).
std::string JoinCommandLine(int argc, const char* const* argv, int iFirst = 1);

// The text handed to SetFileToLoad (positions count from 0):
//  1. ':' at position 1 or 2: the whole line unchanged;
//  2. '\\' at positions 1 and 2 (a quoted network path): quotes become blanks,
//     the text from position 1 on;
//  3. otherwise from one character before the first drive colon (or from 0
//     when there is none or it is the first character), quotes become blanks,
//     at most 259 characters. A drive colon stands between a letter and "\\"
//     or "/"; other colons are part of Linux file names.
std::string ChooseFileFromCommandLine(const std::string& szCommandLine);

// The name the rules pick when no buffer limits it, quotes removed, when that
// name does not fit the file-to-load field (more than 255 characters); empty
// when it fits. A cut name would open some other file or none, so the launcher
// refuses it instead.
std::string OverlongFileName(const std::string& szCommandLine);

// What the file-to-load field holds after SetFileToLoad: the text without its
// quotes, at most 255 characters (the field holds 256 with its terminator).
std::string FileToLoadField(const std::string& szText);

// The name as opened: a trailing blank left by a closing quote is trimmed.
std::string TrimForOpening(const std::string& szName);
