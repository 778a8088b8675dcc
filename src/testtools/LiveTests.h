#pragma once
// The scanner's side of the two live tests: bringing the sheet to the scan
// line, starting and stopping the continuous scan, turning blocks into
// frames, and the travel scan of the mirror carriage test. The dialogs run
// these on their worker thread; lumora-cli runs them directly.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/Picture.h"

class CScanner;
class CContScan;
class CCenterCCDEngine;

struct CLiveTestOptions {
    int32_t m_iSettleMs = 1000;       // the set-up's pauses; tests shorten them
    double m_dTravelInch = 100.0;     // the travel scan ends earlier at the sheet's end
    double m_dTravelTopInch = 0.5;
    const std::atomic<bool>* m_pCancel = nullptr; // besides the program-wide cancel
};

// Sleeps in steps of 100 ms; false when a cancel arrived.
bool LiveSleep(int32_t iMs, const CLiveTestOptions& o);
// The sheet to the scan line and the continuous scan started (the worker's part).
int32_t PositioningSetUp(CScanner& scanner, CContScan& scan, const CLiveTestOptions& o);
// Lines the window of the running scan stands beyond the positioning line.
double WindowShiftLines(CScanner& scanner);
// One block as an RGB frame with the camera layout; a block without lines
// leaves the frame empty (height 0) and returns 0.
int32_t ReadFrame(CContScan& scan, CPicture& frame);
// Scanning reset, sheet back to its start.
void PositioningStop(CScanner& scanner, CContScan& scan, const CLiveTestOptions& o);
// The whole positioning test for iFrames measured frames (command line, samples).
int32_t RunPositioning(CScanner& scanner, CCenterCCDEngine& engine, int32_t iFrames, const CLiveTestOptions& o);
// The travel scan: every row measured, the fits made at the end.
int32_t RunCarriageTravel(CScanner& scanner, CCenterCCDEngine& engine, const CLiveTestOptions& o,
                          const std::function<void(int32_t)>& progress = {});
// The scanner's name for result lines and the folder of its results.
std::string LiveScannerName(CScanner& scanner);
std::vector<std::string> CarriageResultLines(const CCenterCCDEngine& engine, const std::string& szScanner);

// ---- what the two dialogs decide without a window

// The file dialogs' filter "Name (*.ext)|*.ext|All Files (*.*)|*.*||", the
// proposed file "Name.ext" and the pattern "*.ext".
std::string LiveFileFilter(const std::string& szName, const std::string& szExt);
std::string LiveDefaultFile(const std::string& szName, const std::string& szExt);
std::string LiveFilePattern(const std::string& szExt);

// The carriage speed choices off the factory floor.
enum ECarriageSpeed : int32_t { CARRIAGE_FAST = 0, CARRIAGE_MIDDEL = 1, CARRIAGE_SLOW = 2 };
int32_t CarriageSpeedOf(int32_t iChoice);    // "Slow" 5, "Middel" 10, anything else 25
int32_t CarriageChoiceOf(int32_t iSpeed);    // below 8 "Slow", below 15 "Middel", else "Fast"
// The scanner takes the carriage speed in the scan window's second vendor
// byte, in tenths of an inch per second (0: its own pace).
uint8_t CarriageSpeedByte(int32_t iSpeed);

// Positioning and carriage result files made by running the engines on the
// simulated scanner with a scenario of their own (lumora-cli samples).
std::vector<std::string> WriteLiveTestSamples(const std::string& szDir);
