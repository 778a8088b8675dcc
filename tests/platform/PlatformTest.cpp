#include <gtest/gtest.h>

#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/Messages.h"

TEST(Json, DumpKeepsOrderAndEscapes)
{
    CJson j = CJson::MakeObject();
    j.Set("file", "a\"b\\c\n");
    j.Set("n", 3);
    j.Set("none", nullptr);
    j.Set("list", CJson::Array{1, 2.5, true});
    j.Set("n", 4); // replaced in place, order kept
    EXPECT_EQ(j.Dump(-1), "{\"file\":\"a\\\"b\\\\c\\n\",\"n\":4,\"none\":null,\"list\":[1,2.5,true]}");
}

TEST(Json, Cp1252TextBecomesUtf8)
{
    struct { std::string in, out; } cases[] = {
        {"abc", "abc"},
        {"\xB5m", "\xC2\xB5m"},             // micro sign
        {"\x80", "\xE2\x82\xAC"},           // euro
        {std::string("\x01", 1), "\\u0001"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CJson(c.in).Dump(-1), "\"" + c.out + "\"") << c.in;
}

TEST(Messages, RecorderCapturesAndRestores)
{
    std::vector<std::string> outer;
    SetMessageHandler([&](const std::string& t, const std::string&) { outer.push_back(t); });
    {
        CMessageRecorder rec;
        ShowMessage("one", "cap");
        EXPECT_EQ(rec.Texts(), std::vector<std::string>{"one"});
        EXPECT_EQ(rec.Captions(), std::vector<std::string>{"cap"});
    }
    ShowMessage("two");
    SetMessageHandler(nullptr);
    EXPECT_EQ(outer, std::vector<std::string>{"two"});
}

TEST(RunTime, CancelIsAcknowledgedOnce)
{
    EXPECT_FALSE(CCancel::IsCancelRequested());
    CCancel::RequestCancel();
    EXPECT_TRUE(CCancel::IsCancelRequested());
    CCancel::SetCancelled();
    EXPECT_FALSE(CCancel::IsCancelRequested());
}

TEST(RunTime, FormatTextIsBounded)
{
    const std::string sz = FormatText("%s", std::string(5000, 'x').c_str());
    EXPECT_EQ(sz.size(), 1023u);
}
