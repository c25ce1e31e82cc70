#include "printing/LinkTextBox.h"

#include "core/AppError.h"
#include "printing/Conversation.h"

namespace qp {

namespace {

constexpr long InvalidPropertyValue = ErrorNumber::InvalidPropertyValue;
constexpr long NoConversationOpen = ErrorNumber::ConversationNotOpen;

} // namespace

void LinkTextBox::setLinkMode(int mode) {
    if (mode != LinkNone && mode != LinkManual)
        throw AppError(InvalidPropertyValue, QStringLiteral("Invalid property value"));
    // Any change of mode ends the conversation there is, so that a new one always starts
    // from the current topic and item.
    close();
    if (mode == LinkManual)
        open();
}

void LinkTextBox::open() {
    const int bar = m_topic.indexOf(QLatin1Char('|'));
    const QString application = bar < 0 ? m_topic : m_topic.left(bar);
    const QString topic = bar < 0 ? QString() : m_topic.mid(bar + 1);
    m_conversation.open(application, topic, m_item);
    m_mode = LinkManual;
}

void LinkTextBox::close() {
    m_mode = LinkNone;
    if (m_conversation.isOpen())
        m_conversation.close();
}

void LinkTextBox::LinkExecute(const QString& command) {
    if (m_mode != LinkManual || !m_conversation.isOpen())
        throw AppError(NoConversationOpen,
                       QStringLiteral("There is no open conversation to send the command to."));
    m_conversation.execute(command, m_timeoutTenths);
}

} // namespace qp
