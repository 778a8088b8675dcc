// lumora-cli convert: pictures between TIFF (our own reader and writer), the
// system's picture-holding data files and PNG/PGM/PPM (Qt's image I/O).
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <vector>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "CliMain.h"
#include "app/KindRegistry.h"
#include "app/StartupRecognition.h"
#include "imaging/ImageErrors.h"
#include "imaging/ImageReceiver.h"
#include "imaging/Picture.h"
#include "imaging/TifReader.h"
#include "imaging/TifWriter.h"
#include "imaging/TiffFiles.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/ResourceLimits.h"

namespace {

struct CConvertOptions {
    std::string m_szIn, m_szOut, m_szCompression = "none", m_szAs;
    bool m_bBigTiff = false, m_bBigEndian = false;
};

std::string Lower(std::string sz)
{
    for (char& c : sz)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return sz;
}

std::string Extension(const std::string& szPath)
{
    const size_t iSlash = szPath.rfind('/');
    const size_t iDot = szPath.rfind('.');
    if (iDot == std::string::npos || (iSlash != std::string::npos && iDot < iSlash))
        return "";
    return Lower(szPath.substr(iDot + 1));
}

// Qt's reader for the everyday formats; gray stays gray, the rest becomes RGB.
bool LoadWithQt(const std::string& szPath, CPicture& pic, std::string& szError)
{
    // Qt's own cap on a decoded picture, held to the program's one limit.
    QImageReader::setAllocationLimit(static_cast<int>(std::min<uint64_t>(MaxAllocationBytes() >> 20, INT32_MAX)));
    QImageReader reader(QString::fromLocal8Bit(szPath.c_str()));
    QImage img = reader.read();
    if (img.isNull()) {
        szError = reader.errorString().toStdString();
        return false;
    }
    const bool bGray = img.isGrayscale();
    img = img.convertToFormat(bGray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    const int32_t w = img.width(), h = img.height();
    const int32_t iBpp = bGray ? 1 : 3;
    const int32_t iDpi = img.dotsPerMeterX() > 0 ? static_cast<int32_t>(std::lround(img.dotsPerMeterX() * 0.0254)) : 300;
    if (!pic.Create(w, h, iDpi, bGray ? PIC_GRAY : PIC_RGB)) {
        szError = "picture too large";
        return false;
    }
    pic.m_iHeight = h;
    pic.m_iSize = w * h * iBpp;
    pic.m_BiC[0] = w * iBpp;
    for (int i = 1; i < 8; ++i)
        pic.m_BiC[i] = 0;
    pic.m_iResolution = iDpi;
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(pic.m_pData + int64_t(y) * w * iBpp, img.constScanLine(y), size_t(w) * iBpp);
    return true;
}

bool SaveWithQt(const CPicture& pic, const std::string& szPath, std::string& szError)
{
    const int32_t w = pic.m_iWidth;
    const int32_t h = pic.m_iHeight;
    QImage img;
    switch (pic.m_PicData) {
    case PIC_GRAY:
        img = QImage(w, h, QImage::Format_Grayscale8);
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(img.scanLine(y), pic.m_pData + int64_t(y) * w, size_t(w));
        break;
    case PIC_RGB:
        img = QImage(w, h, QImage::Format_RGB888);
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(img.scanLine(y), pic.m_pData + int64_t(y) * w * 3, size_t(w) * 3);
        break;
    case PIC_RGB48:
        img = QImage(w, h, QImage::Format_RGBX64);
        for (int32_t y = 0; y < h; ++y) {
            uint16_t* pOut = reinterpret_cast<uint16_t*>(img.scanLine(y));
            const uint8_t* pIn = pic.m_pData + int64_t(y) * w * 6;
            for (int32_t x = 0; x < w; ++x) {
                for (int c = 0; c < 3; ++c)
                    pOut[4 * x + c] = uint16_t(pIn[6 * x + 2 * c] | pIn[6 * x + 2 * c + 1] << 8);
                pOut[4 * x + 3] = 0xFFFF;
            }
        }
        break;
    case PIC_BW: {
        img = QImage(w, h, QImage::Format_Grayscale8);
        const int32_t iRow = (w + 7) / 8;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                img.scanLine(y)[x] = (pic.m_pData[int64_t(y) * iRow + x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
        break;
    }
    default: szError = "picture has no pixels"; return false;
    }
    if (pic.m_iResolution > 0) {
        img.setDotsPerMeterX(static_cast<int>(std::lround(pic.m_iResolution / 0.0254)));
        img.setDotsPerMeterY(static_cast<int>(std::lround(pic.m_iResolution / 0.0254)));
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !img.save(&buffer, "PNG")) {
        szError = "the PNG file cannot be made";
        return false;
    }
    std::string szWhy;
    if (!WriteFileAtomically(szPath, png.constData(), static_cast<size_t>(png.size()), &szWhy)) {
        szError = "cannot write the PNG file: " + szWhy;
        return false;
    }
    return true;
}

// The rows of a picture as the writer wants them for the chosen output.
struct CRowSource {
    int32_t m_iKind = IMG_KIND_GRAY;
    int32_t m_iBits = 8;
    int64_t m_iRowLength = 0;
    std::vector<uint8_t> m_Bilevel; // thresholded rows when CCITT needs them
    const uint8_t* Row(const CPicture& pic, int32_t y) const
    {
        return m_Bilevel.empty() ? pic.m_pData + int64_t(y) * m_iRowLength : m_Bilevel.data() + int64_t(y) * m_iRowLength;
    }
};

bool PrepareRows(const CPicture& pic, bool bBilevel, CRowSource& src)
{
    const int32_t w = pic.m_iWidth, h = pic.m_iHeight;
    switch (pic.m_PicData) {
    case PIC_BW: src.m_iKind = IMG_KIND_BILEVEL; src.m_iRowLength = (int64_t(w) + 7) / 8; return true;
    case PIC_GRAY: src.m_iKind = IMG_KIND_GRAY; src.m_iRowLength = w; break;
    case PIC_RGB: src.m_iKind = IMG_KIND_RGB; src.m_iRowLength = 3 * int64_t(w); break;
    case PIC_RGB48: src.m_iKind = IMG_KIND_RGB; src.m_iBits = 16; src.m_iRowLength = 6 * int64_t(w); break;
    default: return false;
    }
    if (!bBilevel)
        return true;
    // Fax codings take black and white only: gray at 128 and above is white.
    const int64_t iOut = (int64_t(w) + 7) / 8;
    src.m_Bilevel.assign(size_t(iOut * h), 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = pic.m_pData + int64_t(y) * src.m_iRowLength;
            int32_t v;
            if (pic.m_PicData == PIC_GRAY)
                v = p[x];
            else if (pic.m_PicData == PIC_RGB)
                v = (299 * p[3 * x] + 587 * p[3 * x + 1] + 114 * p[3 * x + 2]) / 1000;
            else
                v = (299 * p[6 * x + 1] + 587 * p[6 * x + 3] + 114 * p[6 * x + 5]) / 1000;
            if (v >= 128)
                src.m_Bilevel[size_t(y * iOut + x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
    src.m_iKind = IMG_KIND_BILEVEL;
    src.m_iBits = 8;
    src.m_iRowLength = iOut;
    return true;
}

uint32_t SaveTiff(const CPicture& pic, const std::string& szPath, const CConvertOptions& opt, int32_t iCompression)
{
    const bool bBilevel = iCompression >= TIF_COMPRESSION_MH && iCompression <= TIF_COMPRESSION_G4;
    CRowSource src;
    if (!PrepareRows(pic, bBilevel, src))
        return IMG_INVALID_TIFF_ARGUMENTS;
    CTIFWriter writer;
    writer.SetFileName(szPath);
    writer.SetOptions(iCompression, opt.m_bBigTiff, PictureLayoutDescription(pic), opt.m_bBigEndian, src.m_iBits, 0);
    uint32_t r = writer.BeginPage(src.m_iKind, pic.m_iWidth, pic.m_iHeight, pic.m_iResolution);
    for (int32_t y = 0; y < pic.m_iHeight && r == IMG_OK; ++y) {
        std::memcpy(writer.GetLineBuffer(), src.Row(pic, y), size_t(src.m_iRowLength));
        r = writer.WriteLine();
    }
    return r == IMG_OK ? writer.EndPage() : r;
}

int Run(const CConvertOptions& opt)
{
    const int32_t iCompression = TifCompressionFromName(opt.m_szCompression);
    const std::string szOutExt = Extension(opt.m_szOut);
    const bool bTiffOut = szOutExt == "tif" || szOutExt == "tiff";
    if (!bTiffOut && szOutExt != "png") {
        std::fprintf(stderr, "lumora-cli convert: %s: the output must end in .tif, .tiff or .png\n", opt.m_szOut.c_str());
        return CLI_EXIT_USAGE;
    }
    if (!bTiffOut && (iCompression != 0 || opt.m_bBigTiff || opt.m_bBigEndian)) {
        std::fprintf(stderr, "lumora-cli convert: %s: --compression, --bigtiff and --big-endian apply to TIFF output only\n",
                     opt.m_szOut.c_str());
        return CLI_EXIT_USAGE;
    }
    if (::access(opt.m_szIn.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "lumora-cli convert: %s: cannot be read\n", opt.m_szIn.c_str());
        return CLI_EXIT_NOINPUT;
    }
    struct stat st {};
    if (::stat(opt.m_szIn.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "lumora-cli convert: %s: is a folder, not a picture file\n", opt.m_szIn.c_str());
        return CLI_EXIT_NOINPUT;
    }
    if (!S_ISREG(st.st_mode)) {
        // A pipe or device would block the readers or never end.
        std::fprintf(stderr, "lumora-cli convert: %s: is not a regular file\n", opt.m_szIn.c_str());
        return CLI_EXIT_NOINPUT;
    }
    if (st.st_size == 0) {
        std::fprintf(stderr, "lumora-cli convert: %s: the file is empty\n", opt.m_szIn.c_str());
        return CLI_EXIT_DATAERR;
    }

    CPicture pic;
    std::string szError;
    bool bLoaded = false;
    if (IsTiffFile(opt.m_szIn) && opt.m_szAs.empty()) {
        std::string szDetail;
        const uint32_t r = LoadAnyTiffIntoPicture(pic, opt.m_szIn, szDetail);
        if (r != IMG_OK) {
            std::fprintf(stderr, "lumora-cli convert: %s: %s%s\n", opt.m_szIn.c_str(), ImageErrorText(r), szDetail.c_str());
            return r == IMG_CANT_OPEN_TIF ? CLI_EXIT_NOINPUT : CLI_EXIT_DATAERR;
        }
        bLoaded = true;
    }
    if (!bLoaded) {
        // A data file that holds a picture: its kind's own reader.
        RegisterAllKinds();
        std::string szKind;
        if (const CLauncherButton* pButton = FindLauncherButton(opt.m_szAs))
            szKind = pButton->m_pKind->m_szId;
        CDispatchDecision decision;
        if (szKind.empty() && RecognizeFile(opt.m_szIn, decision, szError))
            szKind = decision.m_szKind;
        if (const PictureReader* pReader = CKindRegistry::Instance().FindPictureReader(szKind)) {
            szError.clear();
            if (!(*pReader)(opt.m_szIn, opt.m_szAs, pic, szError)) {
                std::fprintf(stderr, "lumora-cli convert: %s: %s\n", opt.m_szIn.c_str(), szError.c_str());
                return CLI_EXIT_DATAERR;
            }
            bLoaded = true;
        } else if (!opt.m_szAs.empty() || (szKind != KIND_UNKNOWN && !szKind.empty())) {
            std::fprintf(stderr, "lumora-cli convert: %s: a %s file holds no picture this tool can convert\n",
                         opt.m_szIn.c_str(), szKind.c_str());
            return CLI_EXIT_DATAERR;
        }
    }
    if (!bLoaded) {
        const std::string szExt = Extension(opt.m_szIn);
        if (szExt != "png" && szExt != "pgm" && szExt != "ppm" && szExt != "pbm" && szExt != "pnm") {
            std::fprintf(stderr, "lumora-cli convert: %s: not a recognised picture file\n", opt.m_szIn.c_str());
            return CLI_EXIT_DATAERR;
        }
        szError.clear();
        if (!LoadWithQt(opt.m_szIn, pic, szError)) {
            std::fprintf(stderr, "lumora-cli convert: %s: %s\n", opt.m_szIn.c_str(), szError.c_str());
            return CLI_EXIT_DATAERR;
        }
    }
    if (pic.m_iHeight < 0)
        pic.ComputeHeight();
    if (!pic.m_pData || pic.m_iWidth < 1 || pic.m_iHeight < 1) {
        std::fprintf(stderr, "lumora-cli convert: %s: the picture is empty\n", opt.m_szIn.c_str());
        return CLI_EXIT_DATAERR;
    }

    // Both writers replace the target only with a complete file.
    bool bOk;
    if (bTiffOut) {
        const uint32_t r = SaveTiff(pic, opt.m_szOut, opt, iCompression);
        bOk = r == IMG_OK;
        szError = ImageErrorText(r);
    } else {
        bOk = SaveWithQt(pic, opt.m_szOut, szError);
    }
    if (!bOk) {
        std::fprintf(stderr, "lumora-cli convert: %s: %s\n", opt.m_szOut.c_str(), szError.c_str());
        return CLI_EXIT_CANTCREAT;
    }
    static const char* const kKinds[] = {"bilevel", "gray", "rgb", "rgb48", "undefined"};
    std::printf("%s: %dx%d %s, %d dpi -> %s (%s)\n", opt.m_szIn.c_str(), pic.m_iWidth, pic.m_iHeight,
                kKinds[std::clamp<int>(pic.m_PicData, 0, 4)], pic.m_iResolution, opt.m_szOut.c_str(),
                bTiffOut ? opt.m_szCompression.c_str() : "png");
    return CLI_EXIT_OK;
}

} // namespace

void AddConvertCommand(CLI::App& app, int& iExit)
{
    auto pOpt = std::make_shared<CConvertOptions>();
    CLI::App* pCmd = app.add_subcommand("convert", CONVERT_COMMAND_TEXT);
    pCmd->add_option("IN", pOpt->m_szIn, "Input: TIFF, PNG, PGM, PPM or a data file holding a picture")->required();
    pCmd->add_option("OUT", pOpt->m_szOut, "Output: .tif/.tiff or .png")->required();
    pCmd->add_option("--compression", pOpt->m_szCompression, "TIFF compression (mh, g3, g4 make a bilevel picture, gray threshold 128)")
        ->check(CLI::IsMember({"none", "lzw", "packbits", "mh", "g3", "g4"}));
    pCmd->add_flag("--bigtiff", pOpt->m_bBigTiff, "Write BigTIFF (64-bit offsets)");
    pCmd->add_flag("--big-endian", pOpt->m_bBigEndian, "Write \"MM\" byte order");
    AddAsOption(pCmd, pOpt->m_szAs);
    pCmd->callback([pOpt, &iExit] { iExit = Run(*pOpt); });
}
