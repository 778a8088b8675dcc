// The operations of CScanner that read and write the scanner's calibration
// state, and the remaining buffer and data transfers of the calibration engine.
#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "platform/ByteOrder.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "scanner/ScanLibrary.h"
#include "scanner/Scanner.h"

namespace {

// Colour entries first (red, green, blue per camera), then one gray entry per
// camera; each entry even offset, even gain, odd offset, odd gain.
size_t GainOffsetEntry(int32_t iCameras, int32_t iCamera, int32_t iColor)
{
    return static_cast<size_t>(iColor < 3 ? (iCamera * 3 + iColor) * 8 : iCameras * 24 + iCamera * 8);
}

} // namespace

// ================================================================ gain/offset

int32_t CScanner::ReadGainOffset(CGainOffset& go)
{
    const int32_t iCameras = CamerasInBuffers();
    uint8_t buffer[CGainOffset::kMaxCameras * 32] = {};
    if (ReadBuffer(ZEL_BUF_GAIN_OFFSET, 0, std::span(buffer).first(size_t(iCameras) * 32)) != 0)
        return m_ErrorNo;
    go.m_iCameraCount = iCameras;
    for (int32_t c = 0; c < iCameras; ++c) {
        for (int32_t color = 0; color < CGainOffset::kColors; ++color) {
            const uint8_t* p = buffer + GainOffsetEntry(iCameras, c, color);
            int16_t* pWords = go.m_Cameras[static_cast<size_t>(c)].m_Words[color];
            pWords[CGainOffset::WORD_EVEN_OFFSET] = static_cast<int16_t>(Be16(p));
            pWords[CGainOffset::WORD_EVEN_GAIN] = static_cast<int16_t>(Be16(p + 2));
            pWords[CGainOffset::WORD_ODD_OFFSET] = static_cast<int16_t>(Be16(p + 4));
            pWords[CGainOffset::WORD_ODD_GAIN] = static_cast<int16_t>(Be16(p + 6));
        }
    }
    return m_ErrorNo;
}

int32_t CScanner::WriteGainOffset(const CGainOffset& go, int32_t iSequence)
{
    const int32_t iCameras = std::clamp(go.m_iCameraCount, 0, CGainOffset::kMaxCameras);
    uint8_t buffer[CGainOffset::kMaxCameras * 32 + 1] = {};
    auto logLine = [&](int32_t c, int32_t color) {
        const int16_t* w = go.m_Cameras[static_cast<size_t>(c)].m_Words[color];
        Log_Msg(FormatText("Camera %c color %d: odd offset %3d, gain %3d, even offset %3d, gain %3d", 'A' + c, color,
                           w[CGainOffset::WORD_ODD_OFFSET], w[CGainOffset::WORD_ODD_GAIN],
                           w[CGainOffset::WORD_EVEN_OFFSET], w[CGainOffset::WORD_EVEN_GAIN]));
    };
    Log_Msg("Write gain/offset to scanner, COLOR:");
    for (int32_t c = 0; c < iCameras; ++c)
        for (int32_t color = 0; color < 3; ++color)
            logLine(c, color);
    Log_Msg("Write gain/offset to scanner, GRAY:");
    for (int32_t c = 0; c < iCameras; ++c)
        logLine(c, 3);
    for (int32_t c = 0; c < iCameras; ++c) {
        for (int32_t color = 0; color < CGainOffset::kColors; ++color) {
            uint8_t* p = buffer + GainOffsetEntry(iCameras, c, color);
            const int16_t* w = go.m_Cameras[static_cast<size_t>(c)].m_Words[color];
            PutBe16(p, w[CGainOffset::WORD_EVEN_OFFSET]);
            PutBe16(p + 2, w[CGainOffset::WORD_EVEN_GAIN]);
            PutBe16(p + 4, w[CGainOffset::WORD_ODD_OFFSET]);
            PutBe16(p + 6, w[CGainOffset::WORD_ODD_GAIN]);
        }
    }
    int32_t iLength = iCameras * 32;
    if (iSequence >= 0) {
        buffer[iLength++] = static_cast<uint8_t>(iSequence);
        Log_Msg(FormatText("Add sequence-number %d to GainOffsets", iSequence));
    }
    return WriteBuffer(ZEL_BUF_GAIN_OFFSET, 0, std::span(buffer).first(size_t(iLength)));
}

// ================================================================ stitch values and positions

int32_t CScanner::SetStitchValues(std::span<const int32_t, kStitchCount> requested)
{
    const int32_t iCount = std::clamp(GetCameraCount() - 1, 0, kStitchCount);
    int32_t values[kStitchCount] = {};
    std::copy_n(requested.begin(), iCount, values);
    bool bClamped = false;

    if (!IsSoftwareScanner()) {
        for (int32_t i = 0; i < iCount; ++i) {
            const int32_t iNew = std::clamp(values[i], -30, 30);
            if (iNew != values[i]) {
                Log_Msg(FormatText("CScanner::SetStitchValues error: stitch range exceeded: %d -> %d", values[i],
                                   iNew));
                values[i] = iNew;
                bClamped = true;
            }
        }
        uint8_t buffer[kStitchCount];
        for (int32_t i = 0; i < kStitchCount; ++i)
            buffer[i] = static_cast<uint8_t>(static_cast<int8_t>(values[i]));
        Log_Msg(FormatText("CScanner::SetStitchValues: %d %d %d %d %d %d %d", values[0], values[1], values[2],
                           values[3], values[4], values[5], values[6]));
        if (WriteBuffer(ZEL_BUF_STITCH_VALUES, 0, buffer) == 0 && bClamped)
            m_ErrorNo = -100;
        return m_ErrorNo;
    }

    int32_t mins[3], maxs[3];
    if (GetConfigurationRanges(mins, maxs) != 0)
        return m_ErrorNo;
    // The marker of a value the configuration manager does not have is no
    // range: clamping to it would set every stitch to -100.
    if (mins[0] == kConfigurationMissing || maxs[0] == kConfigurationMissing) {
        Log_Msg("CScanner::SetStitchValues error: no stitch value range from ConfMgr");
        return m_ErrorNo = ZEL_ASC_INVALID_FIELD;
    }
    int32_t iMin = mins[0], iMax = maxs[0];
    if (iMin < -127 || iMax > 127) {
        Log_Msg(FormatText("CScanner::SetStitchValues warning: stitch value range reported by ConfMgr %d..%d", iMin,
                           iMax));
        int32_t iDpi = 0;
        GetCurrentCISResolution(iDpi);
        const int32_t iLimit = static_cast<int32_t>(static_cast<int64_t>(iDpi) * 122 / 600);
        iMin = -iLimit;
        iMax = iLimit;
    }
    const int64_t iSpan = static_cast<int64_t>(iMax) - iMin;
    for (int32_t i = 0; i < iCount; ++i) {
        const int32_t iOld = values[i];
        if (iOld < iMin) {
            const int64_t iMoved = iOld + iSpan;
            if (iMoved >= iMin && iMoved <= iMax) {
                values[i] = static_cast<int32_t>(iMoved);
                Log_Msg(FormatText("CScanner::SetStitchValues warning: moved stitch up into range: %d -> %d", iOld,
                                   values[i]));
            } else {
                values[i] = iMin;
                bClamped = true;
                Log_Msg(FormatText("CScanner::SetStitchValues error: stitch range exceeded: %d -> %d", iOld,
                                   values[i]));
            }
        } else if (iOld > iMax) {
            const int64_t iMoved = iOld - iSpan;
            if (iMoved >= iMin && iMoved <= iMax) {
                values[i] = static_cast<int32_t>(iMoved);
                Log_Msg(FormatText("CScanner::SetStitchValues warning: moved stitch down into range: %d -> %d",
                                   iOld, values[i]));
            } else {
                values[i] = iMax;
                bClamped = true;
                Log_Msg(FormatText("CScanner::SetStitchValues error: stitch range exceeded: %d -> %d", iOld,
                                   values[i]));
            }
        }
    }
    uint8_t buffer[kStitchCount * 2];
    std::string szLog = "CScanner::SetStitchValues: ";
    for (int32_t i = 0; i < kStitchCount; ++i) {
        PutBe16(buffer + 2 * i, values[i]);
        szLog += FormatText(i ? " %d" : "%d", values[i]);
    }
    Log_Msg(szLog);
    if (WriteBuffer(ZEL_BUF_STITCH_VALUES, 0x1000000, buffer) == 0 && bClamped)
        m_ErrorNo = -100;
    return m_ErrorNo;
}

int32_t CScanner::WriteStitchPositions(std::span<const int32_t> a, std::span<const int32_t> b)
{
    if (a.size() != b.size() || a.size() > 64)
        return m_ErrorNo = ZEL_ERR_BAD_ARGUMENT;
    std::vector<uint8_t> buffer(a.size() * 6 + 1);
    for (size_t i = 0; i < a.size(); ++i) {
        uint8_t* p = &buffer[i * 6];
        PutBe16(p, a[i]);
        p[2] = 1;
        PutBe16(p + 3, b[i]);
        p[5] = 1;
    }
    return WriteBuffer(ZEL_BUF_STITCH_POSITIONS, 0, std::span(buffer).first(a.size() * 6));
}

// ================================================================ CIS alignment

int32_t CScanner::ReadCISAlignment(std::span<int8_t, kAlignmentAreas> values)
{
    uint8_t buffer[kAlignmentAreas] = {};
    if (ReadBuffer(ZEL_BUF_CIS_ALIGNMENT, 0, buffer) != 0)
        return m_ErrorNo;
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<int8_t>(buffer[i]);
    return m_ErrorNo;
}

int32_t CScanner::SetCISAlignment(std::span<const int8_t, kAlignmentAreas> values, bool bAddToCurrent,
                                  bool bIndependent)
{
    Log_Msg("CScanner::SetCISAlignment(BYTE");
    int8_t current[kAlignmentAreas] = {};
    if (bAddToCurrent && ReadCISAlignment(current) != 0)
        return m_ErrorNo;
    uint8_t buffer[kAlignmentAreas];
    int8_t cSum = 0;
    for (int32_t i = 0; i < kAlignmentAreas; ++i) {
        // The device keeps signed bytes, so the sum wraps the way it would there.
        const int8_t cStep = values[static_cast<size_t>(i)];
        int8_t cValue = static_cast<int8_t>(current[i] + cStep + cSum);
        if (!bIndependent)
            cSum = static_cast<int8_t>(cSum + cStep);
        if (cValue >= 100) {
            cValue = 100;
            Log_Msg_Int("-------Correct Vertical (>=100) Alignment StitchArea", i);
        } else if (cValue < -99) {
            cValue = -100;
            Log_Msg_Int("-------Correct Vertical (<=-100) Alignment StitchArea", i);
        }
        buffer[i] = static_cast<uint8_t>(cValue);
    }
    if (WriteBuffer(ZEL_BUF_CIS_ALIGNMENT, 0, buffer) == kAlignmentAreas)
        m_ErrorNo = 0;
    return m_ErrorNo;
}

int32_t CScanner::SetCISAlignment(std::span<const double, kAlignmentAreas - 1> offsets, bool bAddToCurrent)
{
    const int32_t iAreas = std::clamp(GetCameraCount() - 1, 0, kAlignmentAreas - 1);
    int32_t values[kAlignmentAreas] = {};
    if (bAddToCurrent) {
        int8_t current[kAlignmentAreas] = {};
        if (ReadCISAlignment(current) != 0)
            return m_ErrorNo;
        std::copy_n(current, kAlignmentAreas, values);
    }
    for (int32_t i = 0; i < iAreas; ++i) {
        const double dOffset = offsets[static_cast<size_t>(i)];
        Log_Msg(FormatText("StitchArea %c%c %6.2f", 'A' + i, 'B' + i, dOffset));
        const double d = std::clamp(dOffset, -1.0e6, 1.0e6);
        values[i] += static_cast<int32_t>(std::lround(d));
    }
    // The device holds signed bytes; a set that leaves the range keeps its
    // shape and is moved back as a whole. Areas beyond the last camera are not
    // part of the set and stay as they are.
    if (iAreas > 0) {
        const int32_t iHigh = *std::max_element(values, values + iAreas);
        const int32_t iLow = *std::min_element(values, values + iAreas);
        const int32_t iShift = iHigh > 127 ? 127 - iHigh : iLow < -128 ? -128 - iLow : 0;
        for (int32_t i = 0; i < iAreas; ++i)
            values[i] = std::clamp(values[i] + iShift, -128, 127);
    }
    if (!CheckAlignmentDelays(std::span<const int32_t>(values, static_cast<size_t>(iAreas))))
        return m_ErrorNo = kAlignmentDelayError;
    uint8_t buffer[kAlignmentAreas];
    for (int32_t i = 0; i < kAlignmentAreas; ++i)
        buffer[i] = static_cast<uint8_t>(static_cast<int8_t>(values[i]));
    if (WriteBuffer(ZEL_BUF_CIS_ALIGNMENT, 0, buffer) == kAlignmentAreas)
        m_ErrorNo = 0;
    if (m_ErrorNo == 0)
        Log_Msg(FormatText("Store AlignValues %d %d %d %d %d %d %d %d", values[0], values[1], values[2], values[3],
                           values[4], values[5], values[6], values[7]));
    return m_ErrorNo;
}

bool CScanner::CheckAlignmentDelays(std::span<const int32_t> values)
{
    const int32_t iCount = static_cast<int32_t>(values.size());
    // Only software scanners delay their camera rows in the firmware's line
    // buffer; the others take any alignment byte, so there is nothing to check.
    if (!IsSoftwareScanner() || iCount <= 0)
        return true;
    const int32_t iSavedError = m_ErrorNo;
    int32_t iLeast = 0, iMost = 0;
    if (ReadQueryValue16(0, iLeast) != 0)
        iLeast = 100;
    if (ReadQueryValue16(16, iMost) != 0)
        iMost = static_cast<int32_t>(std::floor(1.2 * GetHighestCISModeResolution()));
    m_ErrorNo = iSavedError;
    Log_Msg(FormatText("NrLeastLines from SWScanner: %d", iLeast));
    Log_Msg(FormatText("NrMostLines from SWScanner: %d", iMost));
    const int32_t iSmallest = *std::min_element(values.begin(), values.end());
    bool bOk = true;
    for (int32_t i = 0; i < iCount; ++i) {
        const int32_t iDelay = values[static_cast<size_t>(i)] - iSmallest;
        Log_Msg(FormatText("Resulting Alignment Delay Value in SWScanner, camera %d: %d", i, iDelay));
        const int32_t iLimit = i % 2 == 0 ? iLeast : iMost;
        if (iDelay >= iLimit) {
            Log_Msg(FormatText("*** Trouble for Resulting Alignment Delay Value in SWScanner, camera %d: %d >= %d", i,
                               iDelay, iLimit));
            bOk = false;
        }
    }
    return bOk;
}

// ================================================================ lens correction

int32_t CScanner::GetLensCorrectionAreaCount(int32_t& iCount)
{
    uint8_t byCount = 0;
    int32_t iReceived = 0;
    m_ErrorNo = m_Interface.Read(&byCount, 1, ZEL_DT_LENS_CORRECTION, 3, &iReceived);
    if (m_ErrorNo == 0 && iReceived == 1)
        iCount = byCount;
    Log_Msg_Int("CScanner::GetLensCorrectionAreaCount", iCount);
    if (m_ErrorNo == 0 && iCount != 16)
        ShowMessage("iCount!=16");
    return m_ErrorNo;
}

int32_t CScanner::ReadLensCorrection(std::vector<uint8_t>& table, int32_t iCount)
{
    table.clear();
    if (iCount < 0 || iCount > 255)
        return m_ErrorNo = ZEL_ERR_BAD_ARGUMENT;
    table.assign(static_cast<size_t>(iCount) * 8, 0);
    int32_t iReceived = 0;
    m_ErrorNo = m_Interface.Read(table.data(), iCount * 8, ZEL_DT_LENS_CORRECTION, 2, &iReceived);
    table.resize(static_cast<size_t>(iReceived));
    return m_ErrorNo;
}

int32_t CScanner::WriteLensCorrection(const std::vector<uint8_t>& table)
{
    return m_ErrorNo =
               m_Interface.Send(table.data(), static_cast<int32_t>(table.size()), ZEL_DT_LENS_CORRECTION, 2);
}

// ================================================================ CIS resolution modes

int32_t CScanner::GetCISModeResolution(int32_t iMode)
{
    const int32_t iModes = GetCISModeCount();
    if (!IsSoftwareScanner() && iModes < 2)
        return GetOpticalResolution();
    const uint8_t byBits = m_InquiryPages.GetUInt8(0xC1, 125, 1);
    int32_t iBit = -1;
    for (int32_t b = 0, iSeen = 0; b < 8; ++b) {
        if (byBits & (1 << b)) {
            if (iSeen == iMode) {
                iBit = b;
                break;
            }
            ++iSeen;
        }
    }
    if (m_InquiryPages.GetUInt8(0xC1, 3, 0) > 135) {
        const int32_t iDpi = iBit < 0 ? 600 : m_InquiryPages.GetUInt16(0xC1, 135 + 2 * iBit, 600);
        return iDpi == 0 ? 600 : iDpi;
    }
    switch (iBit) {
    case 0: return 300;
    case 2: return 1200;
    case 3: return 508;
    default: return 600;
    }
}

int32_t CScanner::GetHighestCISModeResolution()
{
    const int32_t iModes = GetCISModeCount();
    return iModes <= 1 ? GetOpticalResolution() : GetCISModeResolution(iModes - 1);
}

int32_t CScanner::GetCurrentCISResolution(int32_t& iDpi)
{
    uint8_t buffer[2] = {};
    if (ReadBuffer(ZEL_BUF_CIS_RESOLUTION, 0, buffer) == 0)
        iDpi = Be16(buffer);
    return m_ErrorNo;
}

int32_t CScanner::GetCurrentCISMode()
{
    int32_t iDpi = 0;
    GetCurrentCISResolution(iDpi);
    const int32_t iModes = GetCISModeCount();
    if (iModes == 1)
        return 0;
    for (int32_t i = 0; i < iModes; ++i)
        if (GetCISModeResolution(i) == iDpi)
            return i;
    return -1;
}

int32_t CScanner::SetCISResolution(int32_t iDpi)
{
    if (GetCISModeCount() <= 1)
        return m_ErrorNo = 0;
    uint8_t buffer[2];
    PutBe16(buffer, iDpi);
    return WriteBuffer(ZEL_BUF_CIS_RESOLUTION, 0, buffer);
}

int32_t CScanner::CIS_SelectModeForDPI(int32_t iDpi, int32_t& iChosen)
{
    const int32_t iModes = GetCISModeCount();
    if (iModes <= 1) {
        iChosen = iDpi;
        return m_ErrorNo = 0;
    }
    int32_t iBest = -1;
    int64_t iBestDistance = 0;
    for (int32_t i = iModes - 1; i >= 0; --i) {
        const int64_t iDistance = std::llabs(static_cast<int64_t>(GetCISModeResolution(i)) - iDpi);
        if (iBest < 0 || iDistance <= iBestDistance) {
            iBest = i;
            iBestDistance = iDistance;
        }
    }
    iChosen = GetCISModeResolution(iBest);
    return SetCISResolution(iChosen);
}

int32_t CScanner::CIS_SelectModeForDPI(int32_t iDpi)
{
    const int32_t iModes = GetCISModeCount();
    for (int32_t i = 0; i < iModes; ++i) {
        const int32_t iRes = GetCISModeResolution(i);
        if (iRes >= iDpi)
            return SetCISResolution(iRes);
    }
    Log_Msg_Int("ERROR:: illigal DPI mode requested CIS_SelectModeForDPI", iDpi);
    return m_ErrorNo;
}

// ================================================================ further transfers

int32_t CScanner::ReadBuffer(uint8_t byBufferId, int32_t iOffset, std::span<uint8_t> buffer)
{
    return m_ErrorNo = m_Interface.ReadBuffer(buffer.data(), byBufferId, iOffset, static_cast<int32_t>(buffer.size()));
}

int32_t CScanner::WriteBuffer(uint8_t byBufferId, int32_t iOffset, std::span<const uint8_t> data)
{
    return m_ErrorNo = m_Interface.WriteBuffer(data.data(), byBufferId, iOffset, static_cast<int32_t>(data.size()));
}

int32_t CScanner::ReadQuery(uint8_t byCode, std::span<uint8_t> buffer)
{
    if (buffer.size() < 2)
        return m_ErrorNo = ZEL_ERR_BAD_ARGUMENT;
    std::fill(buffer.begin(), buffer.end(), uint8_t(0));
    buffer[1] = byCode;
    return ReadBuffer(ZEL_BUF_QUERY, 0, buffer);
}

int32_t CScanner::WriteQuery(uint8_t byCode, std::span<const uint8_t> value)
{
    if (value.size() > 253)
        return m_ErrorNo = ZEL_ERR_BAD_ARGUMENT;
    uint8_t buffer[255] = {};
    buffer[1] = byCode;
    std::copy(value.begin(), value.end(), buffer + 2);
    return WriteBuffer(ZEL_BUF_QUERY, 0, std::span(buffer).first(value.size() + 2));
}

int32_t CScanner::ReadQueryValue16(uint8_t byCode, int32_t& iValue)
{
    uint8_t buffer[4];
    if (ReadQuery(byCode, buffer) == 0)
        iValue = Be16(buffer + 2);
    return m_ErrorNo;
}

int32_t CScanner::ReadCameraFactors(CameraValues a, CameraValues b, CameraValues c, CameraValues d)
{
    const int32_t iCameras = CamerasInBuffers();
    uint8_t buffer[2 + kMaxCameras * 8];
    if (ReadQuery(5, std::span(buffer).first(size_t(iCameras) * 8 + 2)) != 0)
        return m_ErrorNo;
    const CameraValues targets[4] = {a, b, c, d};
    for (int32_t i = 0; i < iCameras; ++i)
        for (int k = 0; k < 4; ++k)
            targets[k][static_cast<size_t>(i)] = static_cast<int16_t>(Be16(buffer + 2 + 8 * i + 2 * k)) / 256.0;
    return m_ErrorNo;
}

int32_t CScanner::WriteCameraFactors(ConstCameraValues a, ConstCameraValues b, ConstCameraValues c,
                                     ConstCameraValues d)
{
    const int32_t iCameras = CamerasInBuffers();
    uint8_t buffer[kMaxCameras * 8];
    const ConstCameraValues sources[4] = {a, b, c, d};
    for (int32_t i = 0; i < iCameras; ++i) {
        for (int k = 0; k < 4; ++k) {
            const double dValue = std::clamp(sources[k][static_cast<size_t>(i)] * 256.0, -32768.0, 32767.0);
            PutBe16(buffer + 8 * i + 2 * k, static_cast<int32_t>(std::lround(dValue)));
        }
    }
    return WriteQuery(5, std::span(buffer).first(size_t(iCameras) * 8));
}

int32_t CScanner::SendServiceCommand(int32_t iQualifier, std::span<const uint8_t> data)
{
    return m_ErrorNo = m_Interface.Send(data.data(), static_cast<int32_t>(data.size()), ZEL_DT_SERVICE, iQualifier);
}

int32_t CScanner::SendSingleSetting(int32_t iDataType, std::span<const uint8_t> data)
{
    m_ErrorNo = m_Interface.Send(data.data(), static_cast<int32_t>(data.size()), iDataType, 0);
    if (m_ErrorNo == 0 && iDataType == 0x8C) {
        // This setting makes the device re-enumerate on the bus.
        ReleaseScanner(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_ErrorNo = m_Diagnostics.ReconnectUSB();
    }
    return m_ErrorNo;
}

int32_t CScanner::ReadIdentification(std::span<uint8_t> buffer, int32_t& iReceived)
{
    return m_ErrorNo = m_Interface.Read(buffer.data(), static_cast<int32_t>(buffer.size()), ZEL_DT_IDENTIFICATION, 0,
                                        &iReceived);
}

int32_t CScanner::GetConfigurationRanges(std::span<int32_t, 3> mins, std::span<int32_t, 3> maxs)
{
    uint8_t buffer[24] = {};
    int32_t iReceived = 0;
    m_ErrorNo = m_Interface.Read(buffer, 24, ZEL_DT_CONFIGURATION, 1, &iReceived);
    for (int32_t i = 0; i < 3; ++i) {
        const size_t k = static_cast<size_t>(i);
        mins[k] = iReceived >= 8 * i + 4 ? Be32(buffer + 8 * i) : kConfigurationMissing;
        maxs[k] = iReceived >= 8 * i + 8 ? Be32(buffer + 8 * i + 4) : kConfigurationMissing;
    }
    return m_ErrorNo;
}

int32_t CScanner::GetCameraPixels8(std::span<int32_t, kMaxCameras> pixels)
{
    uint8_t buffer[4 * kMaxCameras] = {};
    int32_t iReceived = 0;
    std::fill(pixels.begin(), pixels.end(), 0);
    m_ErrorNo = m_Interface.Read(buffer, sizeof(buffer), ZEL_DT_CONFIGURATION, 2, &iReceived);
    if (m_ErrorNo != 0)
        return m_ErrorNo;
    for (size_t c = 0; c < pixels.size() && static_cast<int32_t>(4 * c + 4) <= iReceived; ++c)
        pixels[c] = std::clamp(Be32(buffer + 4 * c), 0, 65535);
    return m_ErrorNo;
}

int32_t CScanner::GetGeneration(int32_t& iGeneration)
{
    iGeneration = 0;
    return ReadQueryValue16(13, iGeneration);
}

// ================================================================ drive commands

int32_t CScanner::MoveCameraMotor(int32_t iIndex, double dDistance)
{
    if (iIndex < 0 || iIndex >= kMaxCameras || !(std::fabs(dDistance) <= 1000.0))
        return m_ErrorNo = -1;
    uint8_t buffer[5];
    buffer[0] = static_cast<uint8_t>(iIndex);
    PutBe32(buffer + 1, static_cast<int32_t>(std::lround(dDistance * 1000.0)));
    if ((m_ErrorNo = m_Interface.Send(buffer, 5, ZEL_DT_DRIVE, 0)) == 0)
        m_iDriveState[iIndex] = dDistance >= 0 ? 17 : 18;
    return m_ErrorNo;
}

int32_t CScanner::RunCameraMotor(int32_t iIndex, bool bForward)
{
    if (iIndex < 0 || iIndex >= kMaxCameras)
        return m_ErrorNo = -1;
    const uint8_t buffer[2] = {static_cast<uint8_t>(iIndex), static_cast<uint8_t>(bForward ? 17 : 18)};
    if ((m_ErrorNo = m_Interface.Send(buffer, 2, ZEL_DT_DRIVE, 1)) == 0)
        m_iDriveState[iIndex] = 1;
    return m_ErrorNo;
}

int32_t CScanner::StopCameraMotor(int32_t iIndex)
{
    if (iIndex < 0 || iIndex >= kMaxCameras)
        return m_ErrorNo = -1;
    const uint8_t buffer[2] = {static_cast<uint8_t>(iIndex), 0};
    if ((m_ErrorNo = m_Interface.Send(buffer, 2, ZEL_DT_DRIVE, 2)) == 0)
        m_iDriveState[iIndex] = 0;
    return m_ErrorNo;
}

int32_t CScanner::HomeCameraMotor(int32_t iIndex)
{
    if (iIndex < 0 || iIndex >= kMaxCameras)
        return m_ErrorNo = -1;
    const uint8_t buffer[2] = {static_cast<uint8_t>(iIndex), 0};
    if ((m_ErrorNo = m_Interface.Send(buffer, 2, ZEL_DT_DRIVE, 3)) == 0)
        m_iDriveState[iIndex] = 0;
    return m_ErrorNo;
}

int32_t CScanner::DriveState(int32_t iIndex) const
{
    return iIndex >= 0 && iIndex < kMaxCameras ? m_iDriveState[iIndex] : 0;
}

int32_t CScanner::GetCameraMotorPositions(std::span<double, kMaxCameras> positions)
{
    uint8_t buffer[2 + kMaxCameras * 4];
    if (ReadQuery(22, buffer) != 0)
        return m_ErrorNo;
    for (size_t c = 0; c < positions.size(); ++c)
        positions[c] = Be32(buffer + 2 + 4 * c) / 1000.0;
    return m_ErrorNo;
}
