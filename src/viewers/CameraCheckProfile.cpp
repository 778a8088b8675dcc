#include "viewers/CameraCheckProfile.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "datafiles/ConFile.h"
#include "platform/Log.h"
#include "viewers/StitchNoiseHeader.h"

using namespace StitchNoiseFile;

namespace {
bool Refuse(const std::string& szText, std::vector<std::string>& messages, std::string& szError)
{
    szError = szText;
    messages.push_back(szText);
    return false;
}
// Bytes between the width row and the first drawn row.
constexpr int64_t kSkipAfterWidthRow = 48;
}  // namespace

bool CheckProfileWidth(const uint8_t* p, int64_t n, int64_t& iWidth, int64_t& iRowEnd)
{
    iWidth = 0;
    for (int64_t i = 0; i < n; ++i) {
        if (p[i] == 0) {
            iRowEnd = i;
            return true;
        }
        iWidth += p[i] & 127;
    }
    iRowEnd = n;
    return false;
}

bool CCameraCheckProfile::Load(const std::string& szFile, std::vector<std::string>& messages, std::string& szError)
{
    *this = CCameraCheckProfile();
    m_szFile = szFile;
    CConFileHeader con;
    const EConReadStatus eStatus = ReadConFileHeader(szFile, con);
    if (eStatus == CON_READ_CANNOT_OPEN)
        return Refuse(FormatText("Cannot open the file %s: %s.", szFile.c_str(), con.m_szProblem.c_str()), messages,
                      szError);
    int64_t iOffset = kCheckOldHeaderSize;
    int64_t iLength = std::max<int64_t>(0, con.m_iFileSize - kCheckOldHeaderSize);
    // The new header: a section line with its data pointer; anything else is the old 48-byte form.
    if (!con.m_szFirstBytes.empty() && con.m_szFirstBytes[0] == '[' && con.m_Header.Contains("DataPointer=")) {
        if (eStatus != CON_READ_OK)
            return Refuse(FormatText("%s: %s.", szFile.c_str(), con.m_szProblem.c_str()), messages, szError);
        m_bHasHeader = true;
        m_szHeader = con.m_Header.GetText();
        int32_t iKeyLength = 0;
        if (!con.m_Header.GetLength(iKeyLength))
            return Refuse("No Length in new G3 Header", messages, szError);
        if (iKeyLength < 0 || iKeyLength > con.DataLength())
            return Refuse(FormatText("%s: Length=%d runs past the end of the file (%lld data bytes).", szFile.c_str(),
                                     iKeyLength, static_cast<long long>(con.DataLength())),
                          messages, szError);
        iOffset = con.m_iHeaderLength;
        iLength = iKeyLength;
    }
    try {
        if (!ReadBytes(szFile, iOffset, iLength, m_Data))
            return Refuse(FormatText("Cannot read the file %s.", szFile.c_str()), messages, szError);
    } catch (const std::bad_alloc&) {
        return Refuse("Memory Low", messages, szError);
    }
    if (!Render(szError)) {
        messages.push_back(szError);
        return false;
    }
    Log_Msg_Txt("COstra_Check_Camera_Adjustment_Test_Dialog::LoadFile", szFile);
    return true;
}

bool CCameraCheckProfile::Render(std::string& szError)
{
    int64_t iWidth = 0, iRowEnd = 0;
    const uint8_t* p = m_Data.data();
    const int64_t n = static_cast<int64_t>(m_Data.size());
    if (!CheckProfileWidth(p, n, iWidth, iRowEnd) || iWidth <= 0) {
        szError = FormatText("%s: the profile data gives no width (the first row %s).", m_szFile.c_str(),
                             iRowEnd >= n ? "never ends" : "is empty");
        return false;
    }
    if (iWidth > kCheckMaxWidth) {
        szError = FormatText("%s: a profile %lld columns wide cannot be shown.", m_szFile.c_str(),
                             static_cast<long long>(iWidth));
        return false;
    }
    try {
        m_Bitmap.assign(static_cast<size_t>(iWidth) * kCheckProfileHeight, 255);
    } catch (const std::bad_alloc&) {
        szError = kCheckNoBitmap;
        return false;
    }
    m_iWidth = static_cast<int32_t>(iWidth);
    int64_t x = 0;
    int32_t y = 0;
    for (int64_t i = iRowEnd + 1 + kSkipAfterWidthRow; i < n && y < kCheckProfileHeight; ++i) {
        const uint8_t b = p[i];
        if (b == 0) {
            x = 0;
            ++y;
            continue;
        }
        const int64_t iRun = b & 127;
        if (b < 128 && x < iWidth)
            std::memset(&m_Bitmap[static_cast<size_t>(y * iWidth + x)], 0,
                        static_cast<size_t>(std::min(iRun, iWidth - x)));
        x += iRun;
    }
    // The grid: every 15th row inverted, so it shows on black and on white.
    for (int32_t iRow = 14; iRow < 269 && iRow < kCheckProfileHeight; iRow += 15) {
        uint8_t* pRow = &m_Bitmap[static_cast<size_t>(iRow * iWidth)];
        for (int64_t i = 0; i < iWidth; ++i)
            pRow[i] = static_cast<uint8_t>(255 - pRow[i]);
    }
    return true;
}

// ---- view ----

void CCameraCheckView::ShowAll()
{
    m_iZoom = kCheckShowAll;
    m_iCenter = m_iProfileWidth / 2;
}

int32_t CCameraCheckView::HalfColumns() const
{
    if (IsShowAll())
        return m_iProfileWidth / 2;
    if (m_iZoom >= 1)
        return static_cast<int32_t>(std::min<int64_t>(int64_t(m_iViewWidth / 2) * m_iZoom, INT32_MAX));
    return (m_iViewWidth / 2) / -m_iZoom;
}

int32_t CCameraCheckView::VisibleColumns() const
{
    if (IsShowAll())
        return m_iProfileWidth;
    if (m_iZoom >= 1)
        return static_cast<int32_t>(std::min<int64_t>(int64_t(m_iViewWidth) * m_iZoom, INT32_MAX));
    return m_iViewWidth / -m_iZoom;
}

int32_t CCameraCheckView::FirstColumn() const
{
    return m_iCenter - HalfColumns();
}

void CCameraCheckView::Clamp()
{
    if (IsShowAll()) {
        m_iCenter = m_iProfileWidth / 2;
        return;
    }
    const int32_t iHalf = HalfColumns();
    m_iCenter = std::min(m_iCenter, m_iProfileWidth - (VisibleColumns() - iHalf));
    m_iCenter = std::max(m_iCenter, iHalf);
}

namespace {
// Columns from the view's middle to x at the current scale.
int32_t ColumnsTo(int32_t iX, int32_t iViewWidth, int32_t iZoom)
{
    const int64_t d = iX - iViewWidth / 2;
    return static_cast<int32_t>(iZoom >= 1 ? d * iZoom : d / -iZoom);
}
}  // namespace

void CCameraCheckView::ZoomIn(int32_t iX)
{
    if (m_iViewWidth <= 0 || m_iProfileWidth <= 0)
        return;
    if (IsShowAll()) {
        m_iZoom = m_iProfileWidth / m_iViewWidth;
        // A profile narrower than the view: magnify until it fills the view.
        if (m_iZoom == 0)
            m_iZoom = -(m_iViewWidth / m_iProfileWidth + 1);
        m_iCenter = static_cast<int32_t>(int64_t(m_iProfileWidth) * iX / m_iViewWidth);
    } else {
        m_iCenter += ColumnsTo(iX, m_iViewWidth, m_iZoom);
        if (m_iZoom == 1)
            m_iZoom = -2;
        else if (m_iZoom > -64)
            --m_iZoom;
    }
    Clamp();
}

void CCameraCheckView::ZoomOut(int32_t iX)
{
    if (IsShowAll() || m_iViewWidth <= 0)
        return;
    m_iCenter += ColumnsTo(iX, m_iViewWidth, m_iZoom);
    m_iZoom = m_iZoom == -2 ? 1 : m_iZoom + 1;
    const int64_t iShown = m_iZoom >= 1 ? m_iProfileWidth / m_iZoom : int64_t(m_iProfileWidth) * -m_iZoom;
    if (iShown < m_iViewWidth) {
        ShowAll();
        return;
    }
    Clamp();
}

std::string CCameraCheckView::ScaleText() const
{
    if (IsShowAll())
        return "Showing All";
    return FormatText("%s : %d", "Scaling", m_iZoom);
}

int32_t CCameraCheckView::ScrollMax() const
{
    return IsShowAll() ? 0 : std::max(0, m_iProfileWidth - VisibleColumns());
}

int32_t CCameraCheckView::ScrollPage() const
{
    return std::max(1, VisibleColumns() / 10);
}

void CCameraCheckView::ScrollTo(int32_t iPos)
{
    if (IsShowAll())
        return;
    m_iCenter = iPos + HalfColumns();
    Clamp();
}

void CCameraCheckView::ScrollBy(int32_t iColumns)
{
    ScrollTo(ScrollPos() + iColumns);
}

std::vector<uint8_t> RenderCheckView(const CCameraCheckProfile& profile, const CCameraCheckView& view, int32_t iW,
                                     int32_t iH)
{
    std::vector<uint8_t> out(static_cast<size_t>(std::max(0, iW)) * std::max(0, iH), 255);
    const int64_t iPW = profile.m_iWidth;
    if (iW <= 0 || iH <= 0 || iPW <= 0 ||
        profile.m_Bitmap.size() != static_cast<size_t>(iPW) * kCheckProfileHeight)
        return out;
    const int64_t iFirst = view.FirstColumn();
    const int64_t iVisible = std::max(1, view.VisibleColumns());
    // Source column range of every screen column.
    std::vector<int64_t> from(static_cast<size_t>(iW)), to(static_cast<size_t>(iW));
    for (int64_t x = 0; x < iW; ++x) {
        int64_t a = iFirst + x * iVisible / iW;
        int64_t b = std::max(a + 1, iFirst + (x + 1) * iVisible / iW);
        from[x] = std::clamp<int64_t>(a, 0, iPW);
        to[x] = std::clamp<int64_t>(b, 0, iPW);
    }
    // One pass over each source row: black flags per screen column.
    std::vector<uint8_t> rowBlack(static_cast<size_t>(iW) * kCheckProfileHeight, 0);
    for (int32_t r = 0; r < kCheckProfileHeight; ++r) {
        const uint8_t* pRow = &profile.m_Bitmap[static_cast<size_t>(r * iPW)];
        uint8_t* pFlags = &rowBlack[static_cast<size_t>(r) * iW];
        for (int64_t x = 0; x < iW; ++x) {
            const uint8_t* a = pRow + from[x];
            const uint8_t* b = pRow + to[x];
            pFlags[x] = std::find(a, b, uint8_t(0)) != b;
        }
    }
    for (int64_t y = 0; y < iH; ++y) {
        int32_t r0 = static_cast<int32_t>(y * kCheckProfileHeight / iH);
        int32_t r1 = std::max(r0 + 1, static_cast<int32_t>((y + 1) * kCheckProfileHeight / iH));
        uint8_t* pOut = &out[static_cast<size_t>(y * iW)];
        for (int32_t r = r0; r < r1 && r < kCheckProfileHeight; ++r) {
            const uint8_t* pFlags = &rowBlack[static_cast<size_t>(r) * iW];
            for (int64_t x = 0; x < iW; ++x)
                if (pFlags[x])
                    pOut[x] = 0;
        }
    }
    return out;
}
