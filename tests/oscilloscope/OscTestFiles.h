#pragma once
// Oscilloscope recordings as bytes: the section, the DataPointer, the keys, the data.
#include <cstdio>
#include <string>

inline std::string OscFile(const std::string& szSection, const std::string& szKeys, const std::string& szData)
{
    std::string sz = szSection + "\nDataPointer=0123456789\n" + szKeys;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%10d", static_cast<int>(sz.size()));
    sz.replace(sz.find('=') + 1, 10, buf);
    return sz + szData;
}

// Every key a recorder writes, for cameras of iPix pixels each.
inline std::string OscKeys(int iCameras, int iPix, const std::string& szColor = "Gray")
{
    std::string sz = "ScannerName=Zel ScanWide 36C\nScanner ID=CH1\nDate=07.12.2026\nTime=06:00:00\n"
                     "ColorScanner=TRUE\nColor=" + szColor + "\nCameraUsed=All\nCameraCount=" +
                     std::to_string(iCameras) + "\n";
    for (int c = 0; c < iCameras; ++c)
        sz += std::string("Camera") + char('A' + c) + "Pix=" + std::to_string(iPix) + "\n";
    sz += "Corrected=FALSE\nMagnification=100 100 100\nCenterLines=1 2 3\n";
    return sz;
}
