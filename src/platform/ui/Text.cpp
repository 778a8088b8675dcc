#include "platform/ui/Text.h"

#include "platform/Json.h"

QString FromCp1252(const std::string& sz)
{
    return QString::fromStdString(Cp1252ToUtf8(sz));
}

std::string ToCp1252(const QString& s)
{
    static const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    out.reserve(static_cast<size_t>(s.size()));
    for (QChar qc : s) {
        const char16_t c = qc.unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char cOut = '?';
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] && kHigh[i] == c)
                cOut = static_cast<char>(0x80 + i);
        out += cOut;
    }
    return out;
}
