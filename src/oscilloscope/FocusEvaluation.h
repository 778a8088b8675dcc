#pragma once
// Focus evaluation of one recorded line: between the outer stitch wires of
// each camera, local peaks and valleys of a fine line pattern are collected
// segment by segment; the contrast of each segment is written into a
// per-pixel curve the overview graph draws.
#include <array>
#include <cstdint>
#include <vector>

class CScanner;

inline constexpr int32_t FOCUS_CAMERAS = 4;

// What the oscilloscope hands over before each evaluation.
struct CFocusData {
    const uint8_t* m_pRed = nullptr;
    const uint8_t* m_pGreen = nullptr;
    const uint8_t* m_pBlue = nullptr;
    std::array<int32_t, FOCUS_CAMERAS> m_CameraPix{};
    int32_t m_iLength = 0;
    int32_t m_iColor = 1;        // 0 red, 1 green, 4 gray, other blue
    // Line positions of the first and last pixel of each camera reading at least 2.
    std::array<int32_t, FOCUS_CAMERAS> m_StitchWireStart{}, m_StitchWireEnd{};
    bool m_bHasStitchWires = false;

    const uint8_t* SelectedLine() const;
    // Moves inwards from each camera's ends to the first pixel reading at least 2.
    void FindStitchWires();
};

class CFocusEvaluation {
public:
    static constexpr int32_t kCapacity = 30;
    static constexpr int32_t kReduction = 10;
    static constexpr int32_t kWireMargin = 30;

    // The camera count comes from the scanner (the oscilloscope's simulated one).
    explicit CFocusEvaluation(CScanner* pScanner) : m_pScanner(pScanner) {}

    // Fills the contrast curve for the data's line; returns the cameras evaluated.
    int32_t Evaluate(CFocusData& data);
    const std::vector<int32_t>& Contrast() const { return m_Contrast; }
    // Segments written per camera by the last evaluation.
    const std::array<int32_t, FOCUS_CAMERAS>& Segments() const { return m_Segments; }

private:
    void EvaluateCamera(const uint8_t* pLine, int32_t iCamera, int32_t iStart, int32_t iEnd);

    CScanner* m_pScanner;
    std::vector<int32_t> m_Contrast;
    std::array<int32_t, FOCUS_CAMERAS> m_Segments{};
};
