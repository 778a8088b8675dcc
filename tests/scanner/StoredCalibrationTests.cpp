#include "SimFixture.h"
#include "scanner/ScanLibrary.h"

namespace {

using CStoredCalibrationTest = CSimFixture;

TEST_F(CStoredCalibrationTest, BackupAndRestoreBringTheCalibrationBack)
{
    Open(kFast + "[Model]\nCameras=4\n");
    const int32_t stitch[7] = {4, -5, 6};
    ASSERT_EQ(m_Scanner.SetStitchValues(stitch), 0);
    const int8_t align[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(m_Scanner.SetCISAlignment(align, false, true), 0);
    CGainOffset go;
    ASSERT_EQ(m_Scanner.ReadGainOffset(go), 0);
    go.m_Cameras[3].m_Words[1][CGainOffset::WORD_EVEN_GAIN] = 222;
    ASSERT_EQ(m_Scanner.WriteGainOffset(go, -1), 0);

    const int32_t posA[3] = {900, 1800, 2700}, posB[3] = {40, 50, 60};
    ASSERT_EQ(m_Scanner.WriteStitchPositions(posA, posB), 0);

    const std::string szFile = m_Dir.File("cal.bak");
    ASSERT_EQ(m_Scanner.BackupCalibration(szFile), 0);

    const int32_t zeros[3] = {0, 0, 0};
    m_Scanner.WriteStitchPositions(zeros, zeros);
    const int32_t other[7] = {};
    m_Scanner.SetStitchValues(other);
    const int8_t zero[8] = {};
    m_Scanner.SetCISAlignment(zero, false, true);
    go.m_Cameras[3].m_Words[1][CGainOffset::WORD_EVEN_GAIN] = 1;
    m_Scanner.WriteGainOffset(go, -1);

    ASSERT_EQ(m_Scanner.RestoreCalibration(szFile), 0);
    int32_t values[7] = {};
    m_Scanner.GetStitchValues(values);
    EXPECT_EQ(values[0], 4);
    EXPECT_EQ(values[1], -5);
    int8_t now[8] = {};
    m_Scanner.ReadCISAlignment(now);
    EXPECT_EQ(now[7], 8);
    CGainOffset back;
    m_Scanner.ReadGainOffset(back);
    EXPECT_EQ(back.m_Cameras[3].m_Words[1][CGainOffset::WORD_EVEN_GAIN], 222);
    int32_t a[3] = {}, b[3] = {};
    ASSERT_EQ(m_Scanner.ReadStitchPositions(a, b), 0);
    EXPECT_EQ(a[2], 2700);
    EXPECT_EQ(b[1], 50);
}

TEST_F(CStoredCalibrationTest, DamagedFileIsRefusedBeforeTheScannerIsTouched)
{
    Open(kFast + "[Model]\nCameras=2\n");
    const std::string szFile = m_Dir.File("cal.bak");
    ASSERT_EQ(m_Scanner.BackupCalibration(szFile), 0);
    std::string bytes = ReadFileBytes(szFile);
    bytes[20] = static_cast<char>(bytes[20] ^ 0x55);
    WriteFileBytes(szFile, bytes);
    const int8_t align[8] = {9};
    m_Scanner.SetCISAlignment(align, false, true);
    EXPECT_EQ(m_Scanner.RestoreCalibration(szFile), -1);
    EXPECT_NE(m_Scanner.m_szFileError.find("checksum"), std::string::npos) << m_Scanner.m_szFileError;
    int8_t now[8] = {};
    m_Scanner.ReadCISAlignment(now);
    EXPECT_EQ(now[0], 9);
    EXPECT_EQ(m_Scanner.RestoreCalibration(m_Dir.File("missing.bak")), -1);
}

TEST_F(CStoredCalibrationTest, UnwritableBackupNamesTheFile)
{
    Open(kFast);
    const std::string szFile = m_Dir.File("no/such/folder/cal.bak");
    EXPECT_EQ(m_Scanner.BackupCalibration(szFile), -1);
    EXPECT_EQ(m_Scanner.m_szFileError.rfind(szFile, 0), 0u) << m_Scanner.m_szFileError;
}

TEST(CStoredCalibrationFormat, ParseRejectsMalformedFiles)
{
    std::vector<CStoredCalibration::CRecord> records(2);
    records[0].m_byId = 0x22;
    records[0].m_Bytes = {1, 2, 3};
    records[1].m_byKind = CStoredCalibration::RECORD_DATA;
    records[1].m_byId = 0x83;
    records[1].m_iQualifier = 2;
    records[1].m_Bytes = std::vector<uint8_t>(16, 7);
    const std::vector<uint8_t> good = CStoredCalibration::Serialize(records);

    std::vector<CStoredCalibration::CRecord> parsed;
    std::string szError;
    ASSERT_TRUE(CStoredCalibration::Parse(good, parsed, szError)) << szError;
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[1].m_iQualifier, 2);
    EXPECT_EQ(parsed[1].m_Bytes, records[1].m_Bytes);

    // Rewrites the checksum so only the named flaw remains.
    auto sealed = [](std::vector<uint8_t> bytes) {
        bytes.resize(bytes.size() - 4);
        uint32_t h = 2166136261u;
        for (const uint8_t b : bytes)
            h = (h ^ b) * 16777619u;
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(h >> (8 * i)));
        return bytes;
    };
    struct {
        const char* m_szName;
        std::vector<uint8_t> m_Bytes;
        const char* m_szError;
    } kCases[] = {
        {"empty", {}, "not a calibration backup"},
        {"magic", sealed([&] { auto b = good; b[0] = 'X'; return b; }()), "not a calibration backup"},
        {"checksum", [&] { auto b = good; b[12] ^= 1; return b; }(), "checksum"},
        {"version", sealed([&] { auto b = good; b[6] = 9; return b; }()), "version"},
        {"count", sealed([&] { auto b = good; b[8] = 0xFF; return b; }()), "records"},
        {"length", sealed([&] { auto b = good; b[16] = 0xFF; b[17] = 0xFF; return b; }()), "claims"},
        {"kind", sealed([&] { auto b = good; b[10] = 7; return b; }()), "kind"},
        {"trailing", sealed([&] { auto b = good; b.insert(b.end() - 4, 0); return b; }()), "unexpected"},
        {"truncated", sealed([&] { auto b = good; b.resize(b.size() - 10); return b; }()), ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.m_szName);
        EXPECT_FALSE(CStoredCalibration::Parse(c.m_Bytes, parsed, szError));
        EXPECT_NE(szError.find(c.m_szError), std::string::npos) << szError;
    }
}

} // namespace
