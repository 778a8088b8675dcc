#pragma once
// CContScan: a stream of scan-line blocks from a scanner that keeps scanning
// (continuous scan), or the replay of a recorded stream. Consumers read block
// after block, look at the camera layout it reports and may record the stream
// to an ".osa" file. Blocks whose camera edges show CIS noise can be told
// apart (BufferWithoutCISNoise) and left out.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Picture.h"
#include "scanner/OsaFile.h"
#include "scanner/Scanner.h"

class CContScan {
public:
    enum ECorrection {
        SWAP_RED_GREEN, SWAP_GREEN_BLUE, SWAP_RED_BLUE,
        SHIFT_RED_RIGHT, SHIFT_GREEN_RIGHT, SHIFT_BLUE_RIGHT,
        SHIFT_RED_LEFT, SHIFT_GREEN_LEFT, SHIFT_BLUE_LEFT,
        CORRECTION_COUNT
    };
    // The block buffer could not be allocated.
    static constexpr int32_t kErrAllocation = -11;
    // Neither the scanner nor the data tell how wide a line is.
    static constexpr int32_t kErrLineWidth = -13;

    // pScanner may be null for a replay-only object. The light-off flags are
    // copied from the scanner.
    explicit CContScan(CScanner* pScanner);

    int32_t StartContinuousScan(int32_t iMode); // 2 gray, 3 colour
    int32_t StartScan(double dLeft, double dTop, double dWidth, double dLength, int32_t iMode, int32_t iResolution,
                      int32_t iThreshold);
    // Ends the scanner's continuous scan (it would otherwise keep scanning).
    int32_t StopScan();
    // Reads (or replays) one block and processes it.
    int32_t ReadBuffer();
    bool BufferWithoutCISNoise() const;

    // Recorder: the next blocks go to "<base>_OSA.osa" (AppendBlock writes
    // the current block; the header goes out with the first).
    void StartRecording(const std::string& szBase);
    bool AppendBlock();
    bool IsRecording() const { return m_pWriter != nullptr; }
    const COsaWriter* Writer() const { return m_pWriter.get(); }
    // Replays the newest recording of that base; the colour kind in force says
    // how it was recorded. False with the reason in LastError().
    bool OpenRecording(const std::string& szBase);
    bool IsReplay() const { return !m_Replay.empty(); }
    const std::string& ReplayFile() const { return m_szReplayFile; }

    // ---- the block as processed
    const uint8_t* Block() const { return m_Block.data(); }
    int32_t ReceivedBytes() const { return m_iReceived; }
    int32_t LinesPerBlock() const { return m_iLinesPerBlock; }
    // Scan line number (from the start of the scan) of the block's first row:
    // with a light-off flag it tells the lamp-off rows from the others.
    int64_t FirstLineOfBlock() const { return m_iFirstLine; }
    int32_t PixelsPerLine() const { return m_iPixelsPerLine; }
    int32_t BytesPerPixel() const { return m_iBytesPerPixel; }
    int32_t BlockSize() const { return m_iBlockSize; }
    int64_t ReplayLength() const { return m_iReplayLength; }
    const std::array<int32_t, 8>& CameraPixels() const { return m_CameraPixels; }
    int32_t CameraCount() const;
    // Plane 0 red, 1 green, 2 blue; gray blocks fill the green plane only.
    const std::vector<uint8_t>& Plane(int32_t iColor) const { return m_Planes[static_cast<size_t>(iColor)]; }
    const CPicture& Picture() const { return m_Pic; }
    const std::string& LastError() const { return m_szError; }
    int64_t LastReadMs() const { return m_iLastReadMs; }

    // ---- settings, set before StartScan
    int32_t m_iColorComponent = ZEL_COLOR_GRAY; // the "m_eColor" of the logs
    int32_t m_iColorKind = 1;                   // 1 gray, 2 colour
    bool m_bLightOff = false, m_bLightOffRow2 = false;
    int32_t m_iResolutionOverride = 0;
    bool m_bGamma = false;       // gamma 2.2 instead of 1.0
    bool m_bDoubleBlock = false; // 3.8 lines a block, pairs of lines averaged
    bool m_bAveraging = false;   // every line of a block replaced by the block's mean line
    bool m_bAmplify = false;     // light-off blocks multiplied by 4
    bool m_bSkipModeSelect = false;
    std::array<bool, CORRECTION_COUNT> m_Corrections{};
    double m_dTop = 0, m_dLength = 0; // inches; 0 length = scan until stopped
    int32_t m_iThreshold = 128;
    // Pixels sampled at each camera end by the noise check.
    int32_t m_iNoiseMargin = 80;
    // Called after every processed block (live and replay).
    std::function<void(const CContScan&)> m_OnBlock;

private:
    void ProcessBlock();
    bool ReadCameraLayout();
    void SetLayout(const std::array<int32_t, 8>& pixels);
    void SplitPlanes();
    void ApplyCorrections();
    void EnsurePlanes(size_t iPixels);

    CScanner* m_pScanner;
    CPicture m_Pic; // describes the block: kind, camera bytes, line count
    std::vector<uint8_t> m_Block;
    int32_t m_iBlockSize = 0;
    int32_t m_iReceived = 0;
    int32_t m_iPixelsPerLine = 0;
    int32_t m_iLinesPerBlock = 0;
    int64_t m_iFirstLine = 0, m_iLinesSoFar = 0;
    int32_t m_iBytesPerPixel = 1;
    int32_t m_iResolution = 0;
    double m_dWidth = 0;
    std::array<int32_t, 8> m_CameraPixels{};
    std::vector<uint8_t> m_Replay;
    int64_t m_iReplayLength = 0, m_iReplayChunk = 0;
    std::string m_szReplayFile;
    std::array<std::vector<uint8_t>, 3> m_Planes;
    std::vector<uint8_t> m_Guard;
    std::unique_ptr<COsaWriter> m_pWriter;
    int64_t m_iLastReadMs = 0;
    std::string m_szError;
};

// The same edge check on a picture holding a copy of a block, for code that
// keeps pictures rather than the stream.
class CContScanPicture {
public:
    // Takes the block's lines and camera layout.
    void SetFromBlock(const CContScan& scan);
    bool BufferWithoutCISNoise() const;
    CPicture m_Pic;
    int32_t m_iNoiseMargin = 80;
};

// True when no camera edge of the lines shows CIS noise: a run of samples
// (every 4th pixel over iMargin pixels at each camera end, second byte of a
// pixel) that is constant at a level strictly between black and white.
bool EdgesWithoutCISNoise(const uint8_t* pLines, int32_t iLines, const std::array<int32_t, 8>& cameraPixels,
                          int32_t iBytesPerPixel, int32_t iMargin);

struct CAcquireOptions {
    std::string m_szRecordBase;  // empty = no recording
    int32_t m_iNoiseMargin = 80;
    // A scanner whose every block is noisy would keep the loop going for
    // ever; after this many noisy blocks in a row it ends with kErrAllNoisy.
    int32_t m_iMaxNoisyInRow = 500;
    std::function<void(const CContScan&)> m_OnBlock;
};
constexpr int32_t kErrAllNoisy = -14;

// Fills pic with iLines continuous-scan lines of the scanner (iMode 2 gray
// or 3 colour picture), leaving out noisy blocks.
int32_t AcquirePicture(CScanner& scanner, CPicture& pic, int32_t iLines, int32_t iMode,
                       const CAcquireOptions& options = CAcquireOptions());
