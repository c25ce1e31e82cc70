#pragma once

#include <QString>

namespace qp {

class Conversation;

// The hidden text box that acts as the client of a conversation with a server application
// through its link properties. Setting LinkMode to LinkManual opens a conversation on
// LinkTopic ("application|topic") and LinkItem; setting it to LinkNone ends it. The
// properties keep their values between conversations, LinkTimeout included, for as long
// as the box lives.
class LinkTextBox {
public:
    static constexpr int LinkNone = 0;
    static constexpr int LinkManual = 2;
    // LinkTimeout before anything sets it: the conversation's own default time-out.
    static constexpr int ClientDefaultTimeout = -1;

    explicit LinkTextBox(Conversation& conversation) : m_conversation(conversation) {}

    int LinkMode() const { return m_mode; }
    // Throws AppError when the value is no mode this box supports, or when the
    // conversation cannot be opened (the mode then stays LinkNone).
    void setLinkMode(int mode);

    const QString& LinkTopic() const { return m_topic; }
    void setLinkTopic(const QString& topic) { m_topic = topic; }

    const QString& LinkItem() const { return m_item; }
    void setLinkItem(const QString& item) { m_item = item; }

    // In tenths of a second.
    int LinkTimeout() const { return m_timeoutTenths; }
    void setLinkTimeout(int tenths) { m_timeoutTenths = tenths; }

    // Sends a command over the open conversation and waits for the server's answer, at most
    // LinkTimeout. Throws AppError when no conversation is open or the command fails.
    void LinkExecute(const QString& command);

private:
    void open();
    void close();

    Conversation& m_conversation;
    int m_mode = LinkNone;
    QString m_topic;
    QString m_item;
    int m_timeoutTenths = ClientDefaultTimeout;
};

} // namespace qp
