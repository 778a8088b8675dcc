#include "viewers/CameraCheckProfile.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "datafiles/ConFile.h"
#include "platform/Log.h"
#include "viewers/StitchNoiseHeader.h"

using namespace StitchNoiseFile;

namespace {
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
        return Refuse(CannotOpenText(szFile, con.m_szProblem), messages, szError);
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
    m_iWork = 0;
    if (!CheckProfileWidth(p, n, iWidth, iRowEnd) || iWidth <= 0) {
        szError = FormatText("%s: the profile data gives no width (the first row %s).", m_szFile.c_str(),
                             iRowEnd >= n ? "never ends" : "is empty");
        return false;
    }
    m_iWork = iRowEnd + 1;
    if (iWidth > kCheckMaxWidth) {
        szError = FormatText("%s: a profile %lld columns wide cannot be shown.", m_szFile.c_str(),
                             static_cast<long long>(iWidth));
        return false;
    }
    try {
        m_RowStart.assign(kCheckProfileHeight + 1, 0);
        m_Spans.clear();
        int64_t x = 0;
        int32_t y = 0;
        for (int64_t i = iRowEnd + 1 + kSkipAfterWidthRow; i < n && y < kCheckProfileHeight; ++i) {
            ++m_iWork;
            const uint8_t b = p[i];
            if (b == 0) {
                x = 0;
                m_RowStart[static_cast<size_t>(++y)] = m_Spans.size();
                continue;
            }
            const int64_t iRun = b & 127;
            if (b < 128 && x < iWidth) {
                const int32_t iFrom = static_cast<int32_t>(x);
                const int32_t iTo = static_cast<int32_t>(std::min(x + iRun, iWidth));
                // Black runs that touch become one span, so a covered range is one span.
                if (m_Spans.size() > m_RowStart[static_cast<size_t>(y)] && m_Spans.back().m_iTo == iFrom)
                    m_Spans.back().m_iTo = iTo;
                else
                    m_Spans.push_back({iFrom, iTo});
            }
            x = std::min(x + iRun, iWidth);
        }
        // Rows the data never reached are white.
        while (y < kCheckProfileHeight)
            m_RowStart[static_cast<size_t>(++y)] = m_Spans.size();
        m_iWork += static_cast<int64_t>(m_Spans.size());
    } catch (const std::bad_alloc&) {
        m_Spans = {};
        m_RowStart = {};
        szError = kCheckNoBitmap;
        return false;
    }
    m_iWidth = static_cast<int32_t>(iWidth);
    return true;
}

uint8_t CCameraCheckProfile::Pixel(int32_t x, int32_t y) const
{
    if (!HasPicture() || x < 0 || x >= m_iWidth || y < 0 || y >= kCheckProfileHeight)
        return 255;
    const auto first = m_Spans.begin() + m_RowStart[static_cast<size_t>(y)];
    const auto last = m_Spans.begin() + m_RowStart[static_cast<size_t>(y) + 1];
    const auto it = std::upper_bound(first, last, x, [](int32_t v, const CCheckSpan& s) { return v < s.m_iTo; });
    const bool bBlack = it != last && it->m_iFrom <= x;
    return bBlack != IsGridRow(y) ? 0 : 255;
}

int32_t CCameraCheckProfile::ColumnLevel(int32_t x) const
{
    if (!HasPicture() || x < 0 || x >= m_iWidth)
        return -1;
    for (int32_t y = 0; y < kCheckProfileHeight; ++y) {
        const auto first = m_Spans.begin() + m_RowStart[static_cast<size_t>(y)];
        const auto last = m_Spans.begin() + m_RowStart[static_cast<size_t>(y) + 1];
        const auto it = std::upper_bound(first, last, x, [](int32_t v, const CCheckSpan& s) { return v < s.m_iTo; });
        if (it != last && it->m_iFrom <= x)
            return kCheckProfileHeight - 1 - y;
    }
    return -1;
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
                                     int32_t iH, int64_t* pWork)
{
    std::vector<uint8_t> out(static_cast<size_t>(std::max(0, iW)) * std::max(0, iH), 255);
    int64_t iWork = 0;
    const int64_t iPW = profile.m_iWidth;
    if (iW > 0 && iH > 0 && profile.HasPicture()) {
        const int64_t iFirst = view.FirstColumn();
        const int64_t iVisible = std::max(1, view.VisibleColumns());
        // Source column range of every screen column; both ends only grow with x.
        std::vector<int64_t> from(static_cast<size_t>(iW)), to(static_cast<size_t>(iW));
        for (int64_t x = 0; x < iW; ++x) {
            const int64_t a = iFirst + x * iVisible / iW;
            const int64_t b = std::max(a + 1, iFirst + (x + 1) * iVisible / iW);
            from[x] = std::clamp<int64_t>(a, 0, iPW);
            to[x] = std::clamp<int64_t>(b, 0, iPW);
        }
        // Columns outside the profile see nothing; they can only be at the edges.
        int64_t iSeenFrom = 0, iSeenTo = iW;
        while (iSeenFrom < iW && from[iSeenFrom] >= to[iSeenFrom])
            ++iSeenFrom;
        while (iSeenTo > iSeenFrom && from[iSeenTo - 1] >= to[iSeenTo - 1])
            --iSeenTo;
        auto firstEndingAfter = [&to](int64_t v) { return std::upper_bound(to.begin(), to.end(), v) - to.begin(); };
        auto firstStartingAt = [&from](int64_t v) { return std::lower_bound(from.begin(), from.end(), v) - from.begin(); };
        // Per profile row, the screen columns that show black, as ranges found
        // by search: the cost follows the spans, not the columns.
        struct CRange {
            int64_t m_iFrom, m_iTo;
        };
        std::vector<CRange> ranges;
        std::vector<size_t> rangeStart(kCheckProfileHeight + 1, 0);
        for (int32_t r = 0; r < kCheckProfileHeight; ++r, ++iWork) {
            rangeStart[static_cast<size_t>(r)] = ranges.size();
            const CCheckSpan* pSpan = profile.m_Spans.data() + profile.m_RowStart[static_cast<size_t>(r)];
            const CCheckSpan* const pEnd = profile.m_Spans.data() + profile.m_RowStart[static_cast<size_t>(r) + 1];
            if (!CCameraCheckProfile::IsGridRow(r)) {
                // Columns that meet a span; neighbouring spans may share a column.
                for (; pSpan != pEnd; ++pSpan, ++iWork) {
                    const int64_t a = firstEndingAfter(pSpan->m_iFrom), b = firstStartingAt(pSpan->m_iTo);
                    if (a >= b)
                        continue;
                    if (ranges.size() > rangeStart[static_cast<size_t>(r)] && ranges.back().m_iTo >= a)
                        ranges.back().m_iTo = std::max(ranges.back().m_iTo, b);
                    else
                        ranges.push_back({a, b});
                }
            } else {
                // Inverted: black wherever a column sees any white, i.e. the gaps
                // between the columns that lie wholly inside one span (spans never
                // touch, so a column is all black only inside a single span).
                int64_t x = iSeenFrom;
                for (; pSpan != pEnd; ++pSpan, ++iWork) {
                    const int64_t a = firstStartingAt(pSpan->m_iFrom), b = firstEndingAfter(pSpan->m_iTo);
                    if (a >= b)
                        continue;
                    if (x < a)
                        ranges.push_back({x, std::min(a, iSeenTo)});
                    x = std::max(x, b);
                }
                if (x < iSeenTo)
                    ranges.push_back({x, iSeenTo});
            }
        }
        rangeStart[kCheckProfileHeight] = ranges.size();
        for (int64_t y = 0; y < iH; ++y) {
            const int32_t r0 = static_cast<int32_t>(y * kCheckProfileHeight / iH);
            const int32_t r1 = std::max(r0 + 1, static_cast<int32_t>((y + 1) * kCheckProfileHeight / iH));
            uint8_t* pOut = &out[static_cast<size_t>(y * iW)];
            for (int32_t r = r0; r < r1 && r < kCheckProfileHeight; ++r)
                for (size_t k = rangeStart[static_cast<size_t>(r)]; k < rangeStart[static_cast<size_t>(r) + 1]; ++k, ++iWork)
                    std::memset(pOut + ranges[k].m_iFrom, 0, static_cast<size_t>(ranges[k].m_iTo - ranges[k].m_iFrom));
        }
    }
    if (pWork)
        *pWork = iWork;
    return out;
}
