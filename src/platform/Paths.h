#pragma once
// Where the running program sits, where it may write, and the Linux meaning of
// the path rules the data files and the sibling tools were written for.
// Folders handed out here end in "/".
#include <string>

// Full path of the running executable (/proc/self/exe), empty if unknown.
// A helper program started on behalf of another (lumora-cli's drawing
// commands) answers with the path of the program it stands in for, so
// settings, log and scanner library are looked up where they would be.
std::string RunningProgramPath();
void StandInForProgram(const std::string& szProgramPath);
// Its folder, empty if unknown.
std::string RunningProgramFolder();

// The private library folder of an installation whose programs live in
// szProgramFolder (the configured libdir/lumora, relative to bindir).
std::string PrivateLibraryFolder(const std::string& szProgramFolder);
// True when szProgramFolder belongs to an installation rather than a build
// tree: its private library folder exists. An installed program never writes
// into its own folder, even when it could (run as root, or a user prefix).
bool IsInstalledProgramFolder(const std::string& szProgramFolder);
// szProgramFolder when the program may keep files there (a writable build
// tree or staging folder), else empty.
std::string WritableProgramFolder(const std::string& szProgramFolder);

// Where a program keeps what it writes for itself (log, error trails):
// $XDG_STATE_HOME/lumora/, default ~/.local/state/lumora/. Not created here.
std::string StateFolder();

// szFolder with a trailing "/". Settings written on the other platform end
// folders in "\\"; such a separator is taken as the "/" it stands for rather
// than kept with another one behind it.
std::string WithFolderSeparator(std::string szFolder);

// Removable media: where desktops mount sticks and cards (/media/...,
// /run/media/...). Results are not remembered as "the last folder" there,
// since the medium is gone next time. szFolder may be relative.
bool IsRemovableMediaFolder(const std::string& szFolder);
