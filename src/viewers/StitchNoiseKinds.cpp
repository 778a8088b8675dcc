// What the command-line tool knows about stitching pictures, noise tests and
// camera adjustment checks: descriptions for info, pictures for convert and
// realistic samples.
#include <cmath>
#include <cstring>
#include <random>

#include "viewers/ViewerKinds.h"
#include "datafiles/ConFile.h"
#include "imaging/Picture.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "viewers/CameraCheckProfile.h"
#include "viewers/NoiseRecord.h"
#include "viewers/StitchNoiseHeader.h"
#include "viewers/StitchPicture.h"

namespace {

void AddMessages(CFileDescription& desc, const std::vector<std::string>& messages)
{
    desc.m_Messages.insert(desc.m_Messages.end(), messages.begin(), messages.end());
}

void DescribeStitch(const std::string& /*szAs*/, CFileDescription& desc)
{
    CStitchPicture picture;
    std::vector<std::string> messages;
    std::string szError;
    // Gray data says nothing while loading; run-length data may, so only that is decoded.
    bool bOk = picture.Load(desc.m_szFile, messages, szError, false);
    if (bOk && picture.m_bRunLength) {
        std::vector<std::string> ignored;
        bOk = picture.Load(desc.m_szFile, ignored, szError) && picture.Decode(messages, szError);
        if (bOk)
            picture.CheckRows(messages);
    }
    AddMessages(desc, messages);
    if (!bOk)
        desc.m_szProblem = szError;
    if (!picture.m_bHasHeader)
        desc.m_iDataLength = std::max<int64_t>(0, desc.m_iFileSize - kStitchOldHeaderSize);
    desc.m_Extra.Set("width", picture.m_iWidth);
    desc.m_Extra.Set("height", picture.m_iHeight);
    desc.m_Extra.Set("resolution", picture.m_iResolution);
    desc.m_Extra.Set("run_length", picture.m_bRunLength);
}

void DescribeNoise(const std::string& /*szAs*/, CFileDescription& desc, bool bNoiseCheck)
{
    CNoiseRecord record;
    if (!record.ReadNoiseFile(desc.m_szFile)) {
        desc.m_Messages.push_back(record.m_szError);
        desc.m_szProblem = record.m_szError;
        return;
    }
    CJson limit;
    if (bNoiseCheck) {
        int32_t iLimit = 0;
        std::string szMessage;
        if (LookupNoiseLimit(record.m_uModelCode, iLimit, szMessage))
            limit = iLimit;
        else if (!szMessage.empty())
            desc.m_Messages.push_back(szMessage);
    } else if (record.m_bHasNoiseLimit) {
        limit = record.m_iNoiseLimit;
    }
    desc.m_Extra.Set("width", record.m_iWidth);
    desc.m_Extra.Set("color_scanner", record.m_bColorScanner);
    desc.m_Extra.Set("has_gray", record.m_bHasGray);
    CJson average = CJson::MakeObject();
    average.Set("red", record.m_bColorScanner ? CJson(record.m_iAverageRed) : CJson());
    average.Set("green", record.m_iAverageGreen);
    average.Set("blue", record.m_bColorScanner ? CJson(record.m_iAverageBlue) : CJson());
    average.Set("gray", record.m_bColorScanner && record.m_bHasGray ? CJson(record.m_iAverageGray) : CJson());
    desc.m_Extra.Set("average", average);
    desc.m_Extra.Set("noise_limit", limit);
}

void DescribeCameraCheck(const std::string& /*szAs*/, CFileDescription& desc)
{
    CCameraCheckProfile profile;
    std::vector<std::string> messages;
    std::string szError;
    const bool bOk = profile.Load(desc.m_szFile, messages, szError);
    AddMessages(desc, messages);
    desc.m_Extra.Set("profile_width", bOk ? CJson(profile.m_iWidth) : CJson());
    if (!bOk)
        desc.m_szProblem = szError;
}

bool ReadStitchPicture(const std::string& szFile, const std::string& /*szAs*/, CPicture& pic, std::string& szError)
{
    CStitchPicture picture;
    std::vector<std::string> messages;
    if (!picture.Load(szFile, messages, szError) || !picture.Decode(messages, szError))
        return false;
    if (!pic.Create(picture.m_iWidth, picture.m_iHeight, picture.m_iResolution, PIC_GRAY)) {
        szError = FormatText("%s: no memory for a picture of %d x %d pixels.", szFile.c_str(), picture.m_iWidth,
                             picture.m_iHeight);
        return false;
    }
    const std::vector<uint8_t> gray = picture.GrayPixels();
    std::memcpy(pic.GetDataPointer(), gray.data(), gray.size());
    pic.m_iHeight = picture.m_iHeight;
    pic.m_iSize = static_cast<int32_t>(gray.size());
    return true;
}

// ---- samples ----

std::string OldHeader(uint8_t uMarker)
{
    std::string sz(static_cast<size_t>(kStitchOldHeaderSize), '\0');
    sz[11] = static_cast<char>(uMarker);
    return sz;
}

bool WriteBytes(const std::string& szPath, const std::string& szBytes)
{
    return WriteFileAtomically(szPath, szBytes.data(), szBytes.size());
}

// The overlap of cameras A and B on the calibration sheet: paper, a few
// printed lines crossing the stitch, and camera B a little brighter and two
// rows lower than A, the kind of step the technician looks for.
std::vector<uint8_t> StitchAreaPixels(int32_t iWidth, int32_t iHeight)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(iWidth) * iHeight);
    std::mt19937 rng(1234);
    std::normal_distribution<double> noise(0.0, 2.0);
    const int32_t iStitch = iWidth / 2;
    for (int32_t y = 0; y < iHeight; ++y) {
        for (int32_t x = 0; x < iWidth; ++x) {
            const bool bB = x >= iStitch;
            const int32_t yy = bB ? y - 2 : y;  // camera B sees the sheet two rows later
            double v = bB ? 236.0 : 230.0;
            if (yy % 80 >= 40 && yy % 80 < 43)  // horizontal lines across the overlap
                v = 30.0;
            const int32_t iDiag = (x + yy) % 160;
            if (iDiag < 3)                       // diagonal lines show the step best
                v = 40.0;
            if (x >= iStitch - 1 && x <= iStitch)
                v = std::min(v, 200.0);          // the seam itself
            pixels[static_cast<size_t>(y) * iWidth + x] =
                static_cast<uint8_t>(std::clamp(v + noise(rng), 0.0, 255.0));
        }
    }
    return pixels;
}

std::string RunLengthRows(const std::vector<uint8_t>& pixels, int32_t iWidth, int32_t iHeight)
{
    std::string sz;
    for (int32_t y = 0; y < iHeight; ++y) {
        const uint8_t* pRow = &pixels[static_cast<size_t>(y) * iWidth];
        int32_t x = 0;
        while (x < iWidth) {
            const bool bBlack = pRow[x] < 128;
            int32_t iRun = 0;
            while (x + iRun < iWidth && (pRow[x + iRun] < 128) == bBlack && iRun < 127)
                ++iRun;
            sz += static_cast<char>(bBlack ? iRun : (iRun | 128));
            x += iRun;
        }
        sz += '\0';
    }
    return sz;
}

std::vector<uint8_t> NoiseChannel(int32_t iWidth, double dLevel, uint32_t uSeed)
{
    std::vector<uint8_t> v(static_cast<size_t>(iWidth));
    std::mt19937 rng(uSeed);
    std::normal_distribution<double> noise(0.0, 1.5);
    const int32_t iCamera = iWidth / 4;
    for (int32_t i = 0; i < iWidth; ++i) {
        const int32_t iInCamera = i % iCamera;
        // Each camera's ends read a little high, where the shading correction lifts the light
        // fall-off; it stays inside the band.
        const double dEdge = std::exp(-iInCamera / 40.0) + std::exp(-(iCamera - 1 - iInCamera) / 40.0);
        v[static_cast<size_t>(i)] = static_cast<uint8_t>(std::clamp(dLevel + 5.0 * dEdge + noise(rng), 0.0, 255.0));
    }
    // A speck of dust and a noisy pixel group, what the marks are for.
    for (int32_t i = iWidth / 3; i < iWidth / 3 + 6; ++i)
        v[static_cast<size_t>(i)] = static_cast<uint8_t>(dLevel * 0.8);
    for (int32_t i = 2 * iWidth / 3; i < 2 * iWidth / 3 + 3; ++i)
        v[static_cast<size_t>(i)] = static_cast<uint8_t>(std::min(255.0, dLevel * 1.15));
    return v;
}

CNoiseRecord SampleNoiseRecord(bool bColor)
{
    CNoiseRecord rec;
    rec.m_szScannerName = bColor ? "Zel ScanWide 36C" : "Zel ScanWide 36M";
    rec.m_szScannerID = bColor ? "CH104233" : "CH104871";
    rec.m_iFirmwareRevision = 7;
    rec.m_iScannerWidth = 43200;
    rec.m_dWidthFactor = rec.m_iScannerWidth / 5088.0;
    rec.m_bColorScanner = bColor;
    rec.m_iWidth = 4 * 1800;
    rec.m_iNoiseLimit = 8;
    rec.AllocateChannels();
    rec.m_Green = NoiseChannel(rec.m_iWidth, 190.0, 2);
    if (bColor) {
        rec.m_Red = NoiseChannel(rec.m_iWidth, 184.0, 1);
        rec.m_Blue = NoiseChannel(rec.m_iWidth, 176.0, 3);
        rec.m_Gray = NoiseChannel(rec.m_iWidth, 188.0, 4);
        rec.m_bHasGray = true;
    }
    return rec;
}

// A light profile of three cameras as the check records it: the level of each
// column drawn black from the bottom up to the profile.
std::string CameraCheckData(int32_t iWidth)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(iWidth) * kCheckProfileHeight, 255);
    const int32_t iCamera = iWidth / 3;
    for (int32_t x = 0; x < iWidth; ++x) {
        const double t = double(x % iCamera) / iCamera;
        double dLevel = 210.0 - 120.0 * (t - 0.5) * (t - 0.5) - 6.0 * (x / iCamera);
        if (x % iCamera < 12)
            dLevel = 20.0;  // dark reference pixels at each camera's start
        const int32_t iTop = kCheckProfileHeight - 1 - static_cast<int32_t>(dLevel);
        for (int32_t y = std::max(0, iTop); y < kCheckProfileHeight; ++y)
            pixels[static_cast<size_t>(y) * iWidth + x] = 0;
    }
    std::string sz;
    for (int32_t iLeft = iWidth; iLeft > 0; iLeft -= 127)  // the width row
        sz += static_cast<char>(std::min(iLeft, 127));
    sz += '\0';
    sz += std::string(48, '\0');
    return sz + RunLengthRows(pixels, iWidth, kCheckProfileHeight);
}

std::vector<std::string> WriteSamples(const std::string& szDir)
{
    std::vector<std::string> written;
    auto done = [&written](bool bOk, const std::string& szPath) {
        if (bOk)
            written.push_back(szPath);
        else
            Log_Msg_Txt("StitchNoise samples: cannot write", szPath);
    };
    const std::string szBase = szDir.empty() || szDir.back() == '/' ? szDir : szDir + "/";

    // Tall enough to fill the viewer at 1:1, as a scan of the stitch area is.
    const int32_t iW = 1200, iH = 720, iRes = 300;
    const std::vector<uint8_t> pixels = StitchAreaPixels(iW, iH);
    {
        ConHeader hdr;
        hdr.AppendStitchTestSection();
        hdr.AppendScannerName("Zel ScanWide 36C");
        hdr.AppendDate();
        hdr.AppendTime();
        hdr.AppendWidth(iW);
        hdr.AppendHeight(iH);
        hdr.AppendResolution(iRes);
        hdr.AppendStitchArea(0);
        const std::string szPath = szBase + "stitch-test.con";
        done(WriteConFile(szPath, hdr, pixels.data(), pixels.size()), szPath);
    }
    {
        std::string sz = OldHeader(kStitchGrayMarker);
        StitchNoiseFile::PutLe32(sz, 24, iRes * 100);
        StitchNoiseFile::PutLe32(sz, 28, iW);
        StitchNoiseFile::PutLe32(sz, 32, iH);
        sz.append(reinterpret_cast<const char*>(pixels.data()), pixels.size());
        const std::string szPath = szBase + "stitch-headerless-gray.con";
        done(WriteBytes(szPath, sz), szPath);
    }
    {
        std::string sz = OldHeader(0x11);
        StitchNoiseFile::PutLe32(sz, 24, iRes * 100);
        StitchNoiseFile::PutLe32(sz, 28, iW);
        StitchNoiseFile::PutLe32(sz, 32, iH);
        sz += RunLengthRows(pixels, iW, iH);
        const std::string szPath = szBase + "stitch-headerless-runlength.con";
        done(WriteBytes(szPath, sz), szPath);
    }
    for (bool bColor : {true, false}) {
        CNoiseRecord rec = SampleNoiseRecord(bColor);
        const std::string szPath = szBase + (bColor ? "noise-test-color.con" : "noise-test-mono.con");
        done(rec.WriteNoiseFile(szPath), szPath);
    }
    {
        const CNoiseRecord rec = SampleNoiseRecord(true);
        std::string sz = OldHeader(kNoiseMarker);
        StitchNoiseFile::PutLe32(sz, 28, rec.m_iWidth);
        StitchNoiseFile::PutLe32(sz, kNoiseOldModelCodeOffset, 0x36C);
        for (const std::vector<uint8_t>* p : {&rec.m_Red, &rec.m_Green, &rec.m_Blue})
            sz.append(reinterpret_cast<const char*>(p->data()), p->size());
        std::string szTrailer(static_cast<size_t>(kNoiseOldTrailerSize), '\0');
        std::memcpy(szTrailer.data(), rec.m_szScannerName.data(), rec.m_szScannerName.size());
        szTrailer[17] = 1;
        sz += szTrailer;
        const std::string szPath = szBase + "noise-headerless.con";
        done(WriteBytes(szPath, sz), szPath);
    }
    {
        std::string sz = OldHeader(0);
        StitchNoiseFile::PutLe32(sz, 20, 13900);
        sz += CameraCheckData(3 * 1000);
        const std::string szPath = szBase + "camera-adjustment-check.con";
        done(WriteBytes(szPath, sz), szPath);
    }
    return written;
}

// The noise graphs draw every channel the record holds, pixel by pixel.
bool NoiseTable(const std::string& szFile, const std::string&, CDataTable& table, std::string& szError)
{
    CNoiseRecord record;
    if (!record.ReadNoiseFile(szFile)) {
        szError = record.m_szError;
        return false;
    }
    table = NoiseDataTable(record);
    return true;
}

}  // namespace

CDataTable NoiseDataTable(const CNoiseRecord& record)
{
    // A monochrome record keeps its one channel where a colour one keeps green.
    return SampleTable({{"red", record.Channel(0)},
                        {record.m_bColorScanner ? "green" : "gray", record.Channel(1)},
                        {"blue", record.Channel(2)},
                        {"gray", record.Channel(4)}});
}

void RegisterStitchNoiseKinds(CKindRegistry& reg)
{
    reg.AddDescriber("stitch-test", &DescribeStitch);
    reg.AddDescriber("headerless-stitch", &DescribeStitch);
    reg.AddDescriber("noise-test",
                     [](const std::string& szAs, CFileDescription& desc) { DescribeNoise(szAs, desc, false); });
    reg.AddDescriber("headerless-noise",
                     [](const std::string& szAs, CFileDescription& desc) { DescribeNoise(szAs, desc, true); });
    reg.AddDescriber("camera-adjustment-check", &DescribeCameraCheck);
    reg.AddPictureReader("stitch-test", &ReadStitchPicture);
    reg.AddPictureReader("headerless-stitch", &ReadStitchPicture);
    reg.AddDataTable("noise-test", &NoiseTable);
    reg.AddDataTable("headerless-noise", &NoiseTable);
    reg.AddSampleWriter("stitch-noise", &WriteSamples);
}
