#include "platform/Messages.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex g_HandlerMutex;
MessageHandler g_Handler;

void DefaultHandler(const std::string& szText, const std::string& szCaption)
{
    if (!szCaption.empty())
        std::fprintf(stderr, "%s: %s\n", szCaption.c_str(), szText.c_str());
    else
        std::fprintf(stderr, "%s\n", szText.c_str());
}
} // namespace

void ShowMessage(const std::string& szText, const std::string& szCaption)
{
    MessageHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_HandlerMutex);
        handler = g_Handler;
    }
    if (handler)
        handler(szText, szCaption);
    else
        DefaultHandler(szText, szCaption);
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    std::lock_guard<std::mutex> lock(g_HandlerMutex);
    MessageHandler previous = std::move(g_Handler);
    g_Handler = std::move(handler);
    return previous;
}

CMessageRecorder::CMessageRecorder()
{
    m_Previous = SetMessageHandler([this](const std::string& szText, const std::string& szCaption) {
        m_Texts.push_back(szText);
        m_Captions.push_back(szCaption);
    });
}

CMessageRecorder::~CMessageRecorder()
{
    SetMessageHandler(std::move(m_Previous));
}
