#include "scanner/OsaFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "platform/FileHandle.h"
#include "platform/Log.h"
#include "platform/ResourceLimits.h"

int64_t COsaLayout::PixelsPerLine() const
{
    int64_t iSum = 0;
    for (const int32_t n : m_CameraPixels)
        iSum += n > 0 ? n : 0;
    return iSum;
}

COsaWriter::COsaWriter(std::string szBase)
{
    if (szBase.empty()) {
        const CDateTime now = CDateTime::Now();
        szBase = FormatText("ContScan_%04d%02d%02d_%02d%02d%02d", now.m_iYear, now.m_iMonth, now.m_iDay, now.m_iHour,
                            now.m_iMinute, now.m_iSecond);
    }
    m_szFile = szBase + "_OSA.osa";
}

bool COsaWriter::Append(const COsaLayout& layout, const uint8_t* pData, size_t iBytes)
{
    if (!m_bStarted) {
        // A new recording replaces an older one of the same name whole; from
        // then on it grows by appending, so whatever was recorded stays usable.
        std::string sz = FormatText("CameraCount %d\n", layout.m_iCameraCount);
        for (int c = 0; c < 8; ++c)
            sz += FormatText("Camera %c %d\n", 'A' + c, layout.m_CameraPixels[size_t(c)]);
        std::string szWhy;
        if (!WriteFileAtomically(m_szFile, sz, &szWhy)) {
            m_szError = m_szFile + ": cannot be created: " + szWhy;
            return false;
        }
        m_bStarted = true;
    }
    if (iBytes == 0)
        return true;
    CFilePtr f(std::fopen(m_szFile.c_str(), "ab"));
    if (!f || std::fwrite(pData, 1, iBytes, f.get()) != iBytes || std::fclose(f.release()) != 0) {
        m_szError = m_szFile + ": cannot be written: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool COsaRecording::Read(const std::string& szFile, int32_t iBytesPerPixel)
{
    m_szFile = szFile;
    m_Layout = {};
    m_Lines.clear();
    m_iLineCount = 0;
    auto fail = [&](const std::string& szWhy) {
        m_szError = szFile + ": " + szWhy;
        m_Lines.clear();
        m_iLineCount = 0;
        return false;
    };
    CFilePtr f(std::fopen(szFile.c_str(), "rb"));
    if (!f)
        return fail(std::strerror(errno));
    struct stat st {};
    if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode))
        return fail("not a regular file");
    if (st.st_size > kMaxFileBytes)
        return fail(FormatText("%lld bytes, more than a recording can be (%lld)", static_cast<long long>(st.st_size),
                               static_cast<long long>(kMaxFileBytes)));
    // The header: text lines up to and including "Camera H".
    int64_t iHeader = 0;
    bool bCount = false, bLast = false;
    char szLine[128];
    while (!bLast) {
        if (iHeader >= kMaxHeaderBytes)
            return fail(FormatText("no \"Camera H\" line in the first %d bytes", kMaxHeaderBytes));
        const int iRoom = static_cast<int>(std::min<int64_t>(sizeof szLine, kMaxHeaderBytes - iHeader + 1));
        if (!std::fgets(szLine, iRoom, f.get()))
            return fail("the header ends before its \"Camera H\" line");
        iHeader = static_cast<int64_t>(std::ftell(f.get()));
        int32_t iValue = 0;
        char cCamera = 0;
        if (std::sscanf(szLine, "CameraCount %d", &iValue) == 1) {
            if (iValue < 1 || iValue > 8)
                return fail(FormatText("camera count %d outside 1..8", iValue));
            m_Layout.m_iCameraCount = iValue;
            bCount = true;
        } else if (std::sscanf(szLine, "Camera %c %d", &cCamera, &iValue) == 2 && cCamera >= 'A' && cCamera <= 'H') {
            if (iValue < 0 || iValue > kMaxCameraPixels)
                return fail(FormatText("camera %c has %d pixels (at most %d)", cCamera, iValue, kMaxCameraPixels));
            m_Layout.m_CameraPixels[size_t(cCamera - 'A')] = iValue;
            bLast = cCamera == 'H';
        }
    }
    if (!bCount)
        return fail("the header has no \"CameraCount\" line");
    const int64_t iLineBytes = m_Layout.PixelsPerLine() * (iBytesPerPixel == 3 ? 3 : 1);
    if (iLineBytes <= 0)
        return fail("every camera has 0 pixels");
    const int64_t iBody = static_cast<int64_t>(st.st_size) - iHeader;
    m_iLineCount = iBody > 0 ? iBody / iLineBytes : 0;
    if (m_iLineCount == 0)
        return fail(FormatText("holds no whole scan line of %lld bytes", static_cast<long long>(iLineBytes)));
    if (const std::string szLimit = CheckAllocation("the scan lines", uint64_t(m_iLineCount * iLineBytes), 1, UINT64_MAX, "bytes");
        !szLimit.empty())
        return fail(szLimit);
    m_Lines.resize(static_cast<size_t>(m_iLineCount * iLineBytes));
    if (std::fread(m_Lines.data(), 1, m_Lines.size(), f.get()) != m_Lines.size())
        return fail("cannot read the scan lines");
    m_szError.clear();
    return true;
}

bool COsaRecording::Open(const std::string& szBase, int32_t iBytesPerPixel)
{
    for (int n = 100; n >= 0; --n) {
        const std::string szFile = szBase + "_OSA-" + std::to_string(n) + ".osa";
        struct stat st {};
        if (::stat(szFile.c_str(), &st) == 0)
            return Read(szFile, iBytesPerPixel);
    }
    const std::string szPlain = szBase + "_OSA.osa";
    struct stat st {};
    if (::stat(szPlain.c_str(), &st) == 0)
        return Read(szPlain, iBytesPerPixel);
    m_szError = szBase + ": no recording (" + szBase + "_OSA-<0..100>.osa or " + szPlain + ")";
    return false;
}
