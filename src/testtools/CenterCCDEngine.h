#pragma once
// CCenterCCDEngine: where the front and the rear camera of a scanner look on
// the sheet. Both cameras see the same positioning mark in the overlap of
// their images: a straight wire and a wire slanted at 45 degrees, 3 pixels
// apart on the scan line. A narrow stripe is cut out of each camera's image
// around the mark; the distance of the two wires, less the 3 pixels of the
// design, is how many lines the camera looks ahead of the scan line.
//
// The scan-line positioning test measures this live on a sheet held still;
// the mirror carriage adjustment test measures it on every row of a scan
// along the sheet, fits a straight line and reports how far each camera
// drifts over the travel. Both keep their results in text files that the
// same dialogs read again.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/Picture.h"

inline constexpr int32_t kStripeWidth = 400;
inline constexpr int32_t kStripeRows = 25;
inline constexpr double kLineLevel = 127.0;
// The wires of the mark lie 3 pixels apart when the camera is on the line.
inline constexpr double kMarkGap = 3.0;
// The positioning line is printed this far from the sheet's top edge.
inline constexpr double kLineFromTopInch = 1.0;

// Mean of the last n values.
class CRunningMean {
public:
    explicit CRunningMean(int32_t n = 20) : m_iN(n) {}
    void Add(double d);
    void Clear() { m_Values.clear(); m_iNext = 0; }
    double Mean() const;
    int32_t Count() const { return static_cast<int32_t>(m_Values.size()); }

private:
    int32_t m_iN;
    std::vector<double> m_Values;
    size_t m_iNext = 0;
};

// The two lines of one stripe row in one colour, in stripe pixels: e1/e2 the
// edges of the first line found, e3/e4 those of the second.
struct CRowLines {
    double m_dEdge[4] = {-1, -1, -1, -1};
    bool m_bValid = false;
    double m_dValue = 0.0; // lines the camera looks ahead
    // Lines this colour's sensor row lies ahead of the camera's line; part of
    // m_dValue, taken off where the colours are compared.
    double m_dRowShift = 0.0;
};

// Where the next row's search starts (the outer end, in search order).
struct CStripeSearch {
    int32_t m_iStart = 0;
    double m_dCentre = -1.0; // first line's centre of the last row, search order
};

// Rescales one row of a stripe picture (RGB) from its outer end inward:
// bRear walks right to left. Newer scanners rescale by the row's maximum.
void NormaliseStripeRow(CPicture& stripe, int32_t iRow, bool bRear, bool bPerRowMaximum);
// Finds both lines of a row in one channel of a normalised stripe.
bool FindStripeLines(const CPicture& stripe, int32_t iRow, int32_t iChannel, bool bRear, CStripeSearch& search,
                     CRowLines& lines);
// The colours' sensor rows lie apart along the sheet (the front camera's red
// row ahead, the rear camera's blue row, as that camera is turned round), so
// on a sheet held still the three colours read the mark at three rows. A
// wire distance is found without its sign; once the wires have crossed it
// reads as if the camera looked the other way. The colours tell: their
// distances run evenly across the rows in the camera's colour order only
// with the right signs. This gives every colour its sign and its row's shift
// (m_dRowShift), and fills in a colour whose wires merged from the other two.
// bCameraLine takes the rows' shifts off, so that every colour tells the
// camera's own line. Returns the spacing of the rows found (0: the colours
// cannot tell, the distances stay as found).
double CorrectColourSigns(std::array<CRowLines, 3>& row, bool bRear, bool bCameraLine);
// Makes the colours of one row agree: a colour whose value (its row's shift
// aside) differs by more than 0.1 pixel from the others, or that found
// nothing, takes the lines of a colour the others agree with, keeping its
// own row's shift.
void RepairColours(std::array<CRowLines, 3>& row);

struct CPositioningLimits {
    double m_dMaxDifference = 5.0;
    double m_dMinOffset = -10.0, m_dMaxOffset = 10.0;
};
bool PositioningPassed(double dFront, double dRear, const CPositioningLimits& limits = CPositioningLimits());

struct CLineFit {
    double m_dSlope = 0.0, m_dOffset = 0.0;
    int32_t m_iPoints = 0;
};
// Least squares y = a x + b over the valid rows (x = row index).
CLineFit FitRows(const std::vector<double>& y, const std::vector<uint8_t>& valid);
inline double PathDifference(const CLineFit& fit, int32_t iRows) { return fit.m_dSlope * iRows; }
inline double PixelsToMove(double dPathDifference) { return dPathDifference * 0.8; }
inline const char* TurnDirection(double dPixelsToMove) { return dPixelsToMove < 0 ? "CW" : "CCW"; }

// An RGB picture of iWidth x iHeight pixels, every row in use.
bool CreateRgbRows(CPicture& pic, int32_t iWidth, int32_t iHeight, int32_t iResolution);

// Where the front camera's seeing pixels end and the rear camera's begin in
// a raw frame (camera after camera; covered pixels at the camera ends read
// dark and are no part of either).
bool FindCameraEdges(const CPicture& frame, int32_t iFrontCamera, int32_t iRearCamera, int32_t& iFrontEnd,
                     int32_t& iRearStart);

class CCenterCCDEngine {
public:
    CCenterCCDEngine();
    ~CCenterCCDEngine();
    CCenterCCDEngine(const CCenterCCDEngine&) = delete;
    CCenterCCDEngine& operator=(const CCenterCCDEngine&) = delete;

    // ---- scan-line positioning
    // One step of the test: the frame's rows go into the stripes, the lines
    // are found and the values and running means follow. False when the frame
    // held no row in which both lines were found.
    bool MeasureFrame(const CPicture& frame);
    bool Passed() const;
    // A run found the lines in at least one frame.
    bool Measured() const { return m_FrontAverage.Count() > 0; }
    bool HasProfile() const { return m_bHasProfile; }
    // Free text at the head of the result file.
    std::vector<std::string> MakeResultLines(const std::string& szScanner) const;
    bool WritePositioning(const std::string& szPath, const std::vector<std::string>& lines,
                          std::string* pError = nullptr) const;
    bool ReadPositioning(const std::string& szPath);
    bool ReadPositioningText(const std::string& szText, const std::string& szName);

    // Dialog handshake: the test loop serves these at its next step.
    void RequestStore(const std::string& szFile, const std::vector<std::string>& lines);
    void RequestReload(const std::string& szFile);
    bool TakeStoreRequest(std::string& szFile, std::vector<std::string>& lines);
    bool TakeReloadRequest(std::string& szFile);
    void Restart(); // a fresh state, keeping the settings

    // ---- mirror carriage adjustment
    void BeginTravel();
    // One scan row (RGB, iWidth pixels) with the camera edges in it.
    void MeasureTravelRow(const uint8_t* pRow, int32_t iWidth, int32_t iResolution, int32_t iFrontEnd,
                          int32_t iRearStart);
    // Fits and path differences from the rows measured or loaded.
    void FinishTravel();
    int32_t Rows() const { return m_iRows; }
    bool WriteCarriage(const std::string& szPath, const std::vector<std::string>& lines,
                       std::string* pError = nullptr) const;
    bool ReadCarriage(const std::string& szPath);
    bool ReadCarriageText(const std::string& szText, const std::string& szName);
    // Arrays for at least iRows rows (kept values stay).
    void EnsureRows(int32_t iRows);

    // Removes the intermediate pictures a run leaves in the data folder.
    void CleanUp() const;

    // ---- settings
    CPositioningLimits m_Limits;
    int32_t m_iGeneration = 6;
    int32_t m_iFrontCamera = 0, m_iRearCamera = 1;
    std::string m_szDataFolder;
    // Lines the scan window stands beyond the positioning line (the scanner
    // moves every window's top a little); taken off both cameras' values.
    double m_dWindowShift = 0.0;

    // ---- positioning state
    CPicture m_Frame, m_FrontStripe, m_RearStripe;
    int32_t m_iStripeRow = 0; // where the next frame row goes
    std::array<std::array<uint8_t, 3>, kStripeWidth> m_FrontProfile{}, m_RearProfile{};
    std::array<double, 3> m_dFront{}, m_dRear{};
    std::array<CRowLines, 3> m_FrontLines{}, m_RearLines{}; // of the last valid row
    CRunningMean m_DiffAverage, m_FrontAverage, m_RearAverage;
    int32_t m_iLinePosition = -1; // first line's centre in the front stripe
    int32_t m_iSteps = 0;
    bool m_bHasProfile = false;
    std::vector<std::string> m_ResultLines;

    std::atomic<bool> m_bDone{false}, m_bRunning{false};
    std::atomic<bool> m_bCancel{false};

    // ---- carriage state
    int32_t m_iScanSpeed = 100;
    int32_t m_iVersion = 2;
    int32_t m_iRows = 0;     // rows in the arrays in use
    int32_t m_iWidth = kStripeWidth;
    // [colour][0 front, 1 rear][row]
    std::array<std::array<std::vector<double>, 2>, 3> m_Position;
    std::array<std::array<std::vector<uint8_t>, 2>, 3> m_Valid;
    // [colour][camera][edge][row]; edges 0, 1 of the wire that moves with the scan line
    std::array<std::array<std::array<std::vector<double>, 2>, 2>, 3> m_Edges;
    std::array<CLineFit, 2> m_Fit{};
    double m_dPathDiffFront = 0.0, m_dPathDiffRear = 0.0;
    int32_t m_iSelectedRow = 0;

    // Messages of the last read (file name and problem).
    std::vector<std::string> m_Messages;

private:
    void CutStripes(const CPicture& frame, int32_t iFrontEnd, int32_t iRearStart);
    bool MeasureStripeRows(int32_t iFirst, int32_t iCount);
    bool MeasureRow(CPicture& work, const CPicture& stripe, int32_t iRow, bool bRear, CStripeSearch& search,
                    std::array<CRowLines, 3>& lines);

    mutable std::mutex m_Mutex; // the requests come from the dialog
    bool m_bStoreRequested = false, m_bReloadRequested = false;
    std::string m_szStoreFile, m_szReloadFile;
    std::vector<std::string> m_StoreLines;

    // Unwrapping of the carriage sheet's repeated mark, per colour and camera.
    struct CUnwrap {
        bool m_bAny = false;
        double m_dLast = 0.0;
        int32_t m_iLastRow = 0;
        double m_dAdd = 0.0;
    };
    std::array<std::array<CUnwrap, 2>, 3> m_Unwrap{};
};
