#pragma once
// The one seam through which the system shows a fixed-text message. The GUI
// installs a message-box handler; tests and the command-line tool record.
#include <functional>
#include <string>
#include <vector>

using MessageHandler = std::function<void(const std::string& szText, const std::string& szCaption)>;

void ShowMessage(const std::string& szText, const std::string& szCaption = std::string());

// Replaces the handler; returns the previous one. An empty handler restores the
// default, which writes the text to stderr.
MessageHandler SetMessageHandler(MessageHandler handler);

// Records every message shown while it lives (and shows none).
class CMessageRecorder {
public:
    CMessageRecorder();
    ~CMessageRecorder();
    CMessageRecorder(const CMessageRecorder&) = delete;
    CMessageRecorder& operator=(const CMessageRecorder&) = delete;

    const std::vector<std::string>& Texts() const { return m_Texts; }
    const std::vector<std::string>& Captions() const { return m_Captions; }
    void Clear() { m_Texts.clear(); m_Captions.clear(); }

private:
    std::vector<std::string> m_Texts;
    std::vector<std::string> m_Captions;
    MessageHandler m_Previous;
};
