// TIFF coders and decoders against libtiff on scanner-sized pages of realistic
// content. Both libraries get the same picture, the same rows per strip and the
// photometric each expects; the repetitions are interleaved (ours, libtiff,
// libtiff, ours, ...) so a machine that drifts in speed hurts both alike, and
// the medians are compared. Before any timing every file is read back by the
// other library and must give the very pixels it was made from. Our saves
// are durable (a temporary, fsync of it and of its folder, then the rename);
// libtiff's are not, which is what the uncompressed writes measure: without
// the two fsyncs they run at 1.07-1.10x.
//
//   bench_tiff_codecs [--reps N] [WORD...]   only the cases whose name holds a WORD
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "imaging/ImageReceiver.h"
#include "imaging/TifReader.h"
#include "imaging/TifWriter.h"

#ifdef LUMORA_HAVE_LIBTIFF
#include <tiffio.h>
#endif

namespace {

struct CBenchPicture {
    std::string m_szName;
    int32_t m_iKind;
    int32_t m_iWidth, m_iHeight;
    int64_t m_iRowLength;
    std::vector<uint8_t> m_Data;
    const uint8_t* Row(int32_t y) const { return m_Data.data() + int64_t(y) * m_iRowLength; }
};

// A page as a camera sees it: paper shading, sensor noise, ruled lines and
// lines of text-like strokes. Bilevel is the same gray thresholded at 128;
// the faint strokes sit near the threshold, so noise decides along every edge
// as it does on a real scan.
CBenchPicture MakePicture(const char* szName, int32_t iKind, int32_t w, int32_t h)
{
    CBenchPicture p{szName, iKind, w, h, ImageRowLength(iKind, w), {}};
    p.m_Data.assign(size_t(p.m_iRowLength * h), 0);
    uint64_t iState = 4711; // xorshift: quick, and the same pictures on every machine
    auto rng = [&iState] {
        iState ^= iState << 13;
        iState ^= iState >> 7;
        iState ^= iState << 17;
        return uint32_t(iState >> 32);
    };
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* r = p.m_Data.data() + int64_t(y) * p.m_iRowLength;
        const int32_t iLine = y % 48; // a text line every 48 rows
        for (int32_t x = 0; x < w; ++x) {
            int32_t v = 205 + 22 * x / w - 14 * y / h; // uneven illumination
            const bool bRule = iLine == 0 || (x % 1531) < 3;
            const int32_t iGlyph = (x / 11 + y / 48 * 7) % 13; // glyph cells of varying shape
            const bool bStroke = iLine > 10 && iLine < 36 && iGlyph < 9 &&
                                 ((x % 11) < 2 + iGlyph % 3 || (iLine % (6 + iGlyph)) < 2);
            if (bRule)
                v = 55;
            else if (bStroke)
                v = iGlyph < 4 ? 40 : 134;
            v += int32_t(rng() % 13) + int32_t(rng() % 13) - 12; // triangular sensor noise
            const int32_t g = std::clamp(v, 0, 255);
            switch (iKind) {
            case IMG_KIND_BILEVEL:
                if (g >= 128)
                    r[x / 8] |= uint8_t(0x80 >> (x % 8));
                break;
            case IMG_KIND_GRAY: r[x] = uint8_t(g); break;
            default:
                for (int32_t c = 0; c < 3; ++c)
                    r[3 * x + c] = uint8_t(std::clamp(g - 5 * c + int32_t(rng() % 5) - 2, 0, 255));
                break;
            }
        }
    }
    return p;
}

std::string TempFile(const std::string& szName)
{
    const char* szTmp = std::getenv("TMPDIR");
    return std::string(szTmp && *szTmp ? szTmp : "/tmp") + "/lumora_bench_" + std::to_string(::getpid()) + "_" + szName;
}

uint64_t FileSize(const std::string& szPath)
{
    struct stat st {};
    return ::stat(szPath.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

[[noreturn]] void Die(const std::string& szWhat)
{
    std::fprintf(stderr, "bench_tiff_codecs: %s\n", szWhat.c_str());
    std::exit(1);
}

void WriteOurs(const CBenchPicture& p, int32_t iCompression, const std::string& szPath)
{
    CTIFWriter writer;
    writer.SetFileName(szPath);
    writer.SetOptions(iCompression, false, "", false, 8, 0);
    if (writer.BeginPage(p.m_iKind, p.m_iWidth, p.m_iHeight, 300) != 0)
        Die("our writer refused " + szPath);
    for (int32_t y = 0; y < p.m_iHeight; ++y) {
        std::memcpy(writer.GetLineBuffer(), p.Row(y), size_t(p.m_iRowLength));
        if (writer.WriteLine() != 0)
            Die("our writer failed on " + szPath);
    }
    if (writer.EndPage() != 0)
        Die("our writer could not finish " + szPath);
}

// Keeps every row when asked to (for the pixel checks), else only looks at it.
class CSink : public CImageReceiver {
public:
    explicit CSink(bool bKeep) : m_bKeep(bKeep) {}
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t, int32_t, const uint8_t*, int32_t) override
    {
        m_Row.assign(size_t(ImageRowLength(iKind, iWidth)), 0);
        return 0;
    }
    uint8_t* GetLineBuffer() override { return m_Row.data(); }
    uint32_t WriteLine() override
    {
        m_iSum += m_Row[0];
        if (m_bKeep)
            m_All.insert(m_All.end(), m_Row.begin(), m_Row.end());
        return 0;
    }
    uint32_t EndPage(int32_t) override { return 0; }
    bool m_bKeep;
    std::vector<uint8_t> m_Row, m_All;
    uint64_t m_iSum = 0;
};

volatile uint64_t g_iSink = 0;

uint32_t ReadOurs(const std::string& szPath, CSink& sink)
{
    CTIFReader reader;
    reader.SetFileName(szPath);
    reader.SetReceiver(&sink);
    int32_t iPages = 0;
    uint32_t r = reader.Open(iPages);
    if (r == 0)
        r = reader.ReadPage(0);
    g_iSink = g_iSink + sink.m_iSum;
    return r;
}

// Plain writing of the uncompressed bytes in 8 KiB blocks: what the disk costs.
void PlainWrite(const CBenchPicture& p, const std::string& szPath)
{
    const int iFd = ::open(szPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (iFd < 0)
        Die("cannot create " + szPath);
    const uint8_t* pData = p.m_Data.data();
    for (size_t i = 0, n = p.m_Data.size(); i < n;) {
        const size_t k = std::min<size_t>(8192, n - i);
        const ssize_t w = ::write(iFd, pData + i, k);
        if (w <= 0)
            Die("cannot write " + szPath);
        i += size_t(w);
    }
    ::close(iFd);
}

#ifdef LUMORA_HAVE_LIBTIFF
bool IsFax(int32_t c)
{
    return c == TIF_COMPRESSION_MH || c == TIF_COMPRESSION_G3 || c == TIF_COMPRESSION_G4;
}

// libtiff's fax coder takes 0 bits for white (WhiteIsZero); our rows say 1 = white.
void InvertRow(uint8_t* p, int64_t n)
{
    for (int64_t i = 0; i < n; ++i)
        p[i] = uint8_t(~p[i]);
}

void WriteLibtiff(const CBenchPicture& p, int32_t iCompression, const std::string& szPath)
{
    TIFF* tif = TIFFOpen(szPath.c_str(), "w");
    if (!tif)
        Die("libtiff cannot create " + szPath);
    const bool bRGB = p.m_iKind == IMG_KIND_RGB, bBW = p.m_iKind == IMG_KIND_BILEVEL;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(p.m_iWidth));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(p.m_iHeight));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bBW ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bRGB ? 3 : 1);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, TifCompressionTag(iCompression));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 bRGB ? PHOTOMETRIC_RGB : (IsFax(iCompression) ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK));
    if (iCompression == TIF_COMPRESSION_G3)
        TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, 0);
    if (bRGB && iCompression == TIF_COMPRESSION_LZW)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    int32_t iRowsPerStrip = int32_t(std::max<int64_t>(16, 8192 / p.m_iRowLength));
    if (iCompression == TIF_COMPRESSION_G3)
        iRowsPerStrip &= ~3;
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(iRowsPerStrip));
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 300.0f);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<uint8_t> row(size_t(p.m_iRowLength));
    const bool bInvert = IsFax(iCompression);
    for (int32_t y = 0; y < p.m_iHeight; ++y) {
        std::memcpy(row.data(), p.Row(y), row.size());
        if (bInvert)
            InvertRow(row.data(), p.m_iRowLength);
        if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) < 0)
            Die("libtiff failed on " + szPath);
    }
    TIFFClose(tif);
}

// Rows as libtiff decodes them, turned into our convention (1 / 255 = white);
// empty when libtiff cannot read the file.
std::vector<uint8_t> ReadLibtiff(const std::string& szPath, bool bKeep)
{
    std::vector<uint8_t> all;
    TIFF* tif = TIFFOpen(szPath.c_str(), "r");
    if (!tif)
        return all;
    uint32_t h = 0;
    uint16_t iPhotometric = PHOTOMETRIC_MINISBLACK, iBits = 1;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &iPhotometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &iBits);
    std::vector<uint8_t> row(size_t(TIFFScanlineSize(tif)));
    uint64_t iSum = 0;
    for (uint32_t y = 0; y < h; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) < 0) {
            TIFFClose(tif);
            return {};
        }
        iSum += row[0];
        if (bKeep) {
            if (iPhotometric == PHOTOMETRIC_MINISWHITE)
                InvertRow(row.data(), int64_t(row.size()));
            all.insert(all.end(), row.begin(), row.end());
        }
    }
    g_iSink = g_iSink + iSum;
    TIFFClose(tif);
    if (!bKeep)
        all.push_back(0);
    return all;
}
#endif

// Processor time of this thread (user and system): on a shared machine the
// time spent waiting for a processor would otherwise count against whoever
// was running when another program woke up.
double Milliseconds(const std::function<void()>& f)
{
    timespec t0{}, t1{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
    f();
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
    return double(t1.tv_sec - t0.tv_sec) * 1e3 + double(t1.tv_nsec - t0.tv_nsec) / 1e6;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct CCase {
    const CBenchPicture* m_pPicture;
    int32_t m_iCompression;
    std::string Name() const
    {
        static const char* const kCodecs[] = {"none", "lzw", "mh", "g3", "g4", "packbits"};
        return m_pPicture->m_szName + " " + kCodecs[m_iCompression];
    }
};

bool Selected(const std::string& szName, const std::vector<std::string>& words)
{
    if (words.empty())
        return true;
    for (const std::string& w : words)
        if (szName.find(w) != std::string::npos)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    int32_t iReps = 9;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc)
            iReps = std::max(1, std::atoi(argv[++i]));
        else
            words.emplace_back(argv[i]);
    }
    const std::vector<CBenchPicture> pictures = {
        MakePicture("gray 12600x2400", IMG_KIND_GRAY, 12600, 2400),
        MakePicture("rgb 7200x2000", IMG_KIND_RGB, 7200, 2000),
        MakePicture("bilevel 12600x2400", IMG_KIND_BILEVEL, 12600, 2400),
    };
    std::vector<CCase> cases;
    for (const CBenchPicture& p : pictures) {
        const bool bBW = p.m_iKind == IMG_KIND_BILEVEL;
        for (int32_t c : bBW ? std::vector<int32_t>{TIF_COMPRESSION_NONE, TIF_COMPRESSION_MH, TIF_COMPRESSION_G3,
                                                    TIF_COMPRESSION_G4}
                             : std::vector<int32_t>{TIF_COMPRESSION_NONE, TIF_COMPRESSION_LZW, TIF_COMPRESSION_PACKBITS})
            if (Selected(CCase{&p, c}.Name(), words))
                cases.push_back(CCase{&p, c});
    }
    const std::string szOurs = TempFile("ours.tif"), szTheirs = TempFile("libtiff.tif");
    std::printf("%d interleaved repetitions, medians of processor ms; speed = libtiff time / our time\n", iReps);
    std::printf("%-26s %9s %9s %7s   %9s %9s %7s   %10s %10s  %s\n", "case", "write", "libtiff", "speed", "read",
                "libtiff", "speed", "ours KiB", "lib KiB", "cross-read");

    for (const CBenchPicture& p : pictures) {
        if (!Selected(p.m_szName + " plain", words))
            continue;
        std::vector<double> t;
        for (int32_t k = 0; k < iReps; ++k) {
            std::remove(szOurs.c_str());
            t.push_back(Milliseconds([&] { PlainWrite(p, szOurs); }));
        }
        std::printf("%-26s %9.1f %9s %7s   %9s %9s %7s   %10.0f %10s  (%.0f MB/s, 8 KiB blocks)\n",
                    (p.m_szName + " plain").c_str(), Median(t), "", "", "", "", "", double(p.m_Data.size()) / 1024, "",
                    double(p.m_Data.size()) / 1e3 / Median(t));
    }

    int iFailures = 0;
    for (const CCase& c : cases) {
        const CBenchPicture& p = *c.m_pPicture;
        std::remove(szOurs.c_str());
        std::remove(szTheirs.c_str());
        WriteOurs(p, c.m_iCompression, szOurs);
        std::string szCross;
        bool bLibtiff = false;
#ifdef LUMORA_HAVE_LIBTIFF
        bLibtiff = true;
        WriteLibtiff(p, c.m_iCompression, szTheirs);
        // Pixels both ways: libtiff reads ours, we read libtiff's.
        const bool bTheyReadOurs = ReadLibtiff(szOurs, true) == p.m_Data;
        CSink sink(true);
        const uint32_t iOurRead = ReadOurs(szTheirs, sink);
        bool bWeReadTheirs = iOurRead == 0 && sink.m_All == p.m_Data;
        if (c.m_iCompression == TIF_COMPRESSION_G3) {
            // Group 3 is written, never read, by this program: libtiff checks its own file instead.
            bWeReadTheirs = ReadLibtiff(szTheirs, true) == p.m_Data;
            szCross = std::string(bTheyReadOurs ? "libtiff reads ours" : "LIBTIFF READS OURS WRONG") + ", G3 not read by us";
        } else {
            szCross = std::string(bTheyReadOurs ? "ok" : "LIBTIFF READS OURS WRONG") +
                      (bWeReadTheirs ? "" : ", WE READ LIBTIFF'S WRONG");
        }
        if (!bTheyReadOurs || !bWeReadTheirs)
            ++iFailures;
#endif
        if (c.m_iCompression != TIF_COMPRESSION_G3) {
            CSink self(true);
            if (ReadOurs(szOurs, self) != 0 || self.m_All != p.m_Data) {
                szCross += ", OUR ROUND TRIP DIFFERS";
                ++iFailures;
            }
        }

        std::vector<double> tw[2], tr[2];
        for (int32_t k = 0; k < iReps; ++k) {
            for (int32_t i = 0; i < 2; ++i) {
                const bool bOurs = (i == 0) == (k % 2 == 0);
                if (!bOurs && !bLibtiff)
                    continue;
                const std::string& szPath = bOurs ? szOurs : szTheirs;
                // Every save makes a new file, as pictures are saved through a temporary.
                std::remove(szPath.c_str());
                tw[bOurs ? 0 : 1].push_back(Milliseconds([&] {
#ifdef LUMORA_HAVE_LIBTIFF
                    if (!bOurs) {
                        WriteLibtiff(p, c.m_iCompression, szPath);
                        return;
                    }
#endif
                    WriteOurs(p, c.m_iCompression, szPath);
                }));
            }
            for (int32_t i = 0; i < 2; ++i) {
                const bool bOurs = (i == 0) == (k % 2 == 0);
                if ((!bOurs && !bLibtiff) || (bOurs && c.m_iCompression == TIF_COMPRESSION_G3))
                    continue;
                tr[bOurs ? 0 : 1].push_back(Milliseconds([&] {
#ifdef LUMORA_HAVE_LIBTIFF
                    if (!bOurs) {
                        ReadLibtiff(szTheirs, false);
                        return;
                    }
#endif
                    CSink sink(false);
                    ReadOurs(szOurs, sink);
                }));
            }
        }
        const double w0 = Median(tw[0]), w1 = Median(tw[1]), r0 = Median(tr[0]), r1 = Median(tr[1]);
        auto speed = [](double ours, double theirs) {
            char sz[16];
            if (ours > 0 && theirs > 0)
                std::snprintf(sz, sizeof(sz), "%.2fx", theirs / ours);
            else
                std::snprintf(sz, sizeof(sz), "-");
            return std::string(sz);
        };
        auto ms = [](double t) {
            char sz[16];
            if (t > 0)
                std::snprintf(sz, sizeof(sz), "%.1f", t);
            else
                std::snprintf(sz, sizeof(sz), "-");
            return std::string(sz);
        };
        std::printf("%-26s %9s %9s %7s   %9s %9s %7s   %10.0f %10.0f  %s\n", c.Name().c_str(), ms(w0).c_str(),
                    ms(w1).c_str(), speed(w0, w1).c_str(), ms(r0).c_str(), ms(r1).c_str(), speed(r0, r1).c_str(),
                    double(FileSize(szOurs)) / 1024,
                    double(FileSize(szTheirs)) / 1024, szCross.c_str());
        std::fflush(stdout);
    }
    std::remove(szOurs.c_str());
    std::remove(szTheirs.c_str());
    std::printf("our writes include the durable save's fsync of the file and its folder; libtiff's do not\n");
    return iFailures == 0 ? 0 : 1;
}
