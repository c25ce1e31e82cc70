#include "PrintingFakes.h"

#include <gtest/gtest.h>

namespace qp::test {

namespace {

// A document, "<path>", or an object reached from it, "<path>/<member>". The journal shows
// which object each member was asked of.
class FakeAutomationObject : public AutomationObject {
public:
    FakeAutomationObject(FakeAutomation& automation, QString path, QString name)
        : m_automation(automation), m_path(std::move(path)), m_name(std::move(name)) {
        ++m_automation.liveObjects;
    }
    ~FakeAutomationObject() override {
        --m_automation.liveObjects;
        m_automation.journal().add("release " + m_name);
    }

    void call(const QString& member, const QVariantList& args) override {
        journalAndFail(QStringLiteral("call"), member, args);
    }

    QVariant value(const QString& member) override {
        m_automation.journal().add(QStringLiteral("value %1.%2").arg(m_name, member));
        if (m_automation.onValue)
            m_automation.onValue(m_name, member);
        m_automation.failIfScripted(m_name + '.' + member);
        DocumentScript& script = m_automation.documents[m_path];
        if (member == QLatin1String("BackgroundPrintingStatus")) {
            const QVariant status = script.backgroundStatus.front();
            if (script.backgroundStatus.size() > 1)
                script.backgroundStatus.pop_front();
            return status;
        }
        return script.worksheetCountValue.isValid() ? script.worksheetCountValue
                                                    : QVariant(script.worksheetCount);
    }

    std::unique_ptr<AutomationObject> object(const QString& member,
                                             const QVariantList& args) override {
        journalAndFail(QStringLiteral("object"), member, args);
        // Index arguments are passed as 16-bit integers.
        for (const QVariant& arg : args)
            EXPECT_EQ(arg.metaType(), QMetaType::fromType<qint16>());
        const QString index = args.isEmpty() ? QString() : '(' + args.front().toString() + ')';
        return std::make_unique<FakeAutomationObject>(m_automation, m_path,
                                                      m_path + '/' + member + index);
    }

private:
    void journalAndFail(const QString& what, const QString& member, const QVariantList& args) {
        QStringList texts;
        for (const QVariant& arg : args)
            texts.append(arg.toString());
        m_automation.journal().add(
            QStringLiteral("%1 %2.%3(%4)").arg(what, m_name, member, texts.join(',')));
        m_automation.failIfScripted(m_name + '.' + member);
    }

    FakeAutomation& m_automation;
    QString m_path;
    QString m_name;
};

} // namespace

void expectBox(const FakePrompter& prompter, size_t index, const QString& text,
               const QString& title, PromptButtons buttons, PromptIcon icon) {
    ASSERT_LT(index, prompter.boxes.size()) << "no box " << index;
    const FakePrompter::Box& box = prompter.boxes[index];
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.title, title);
    EXPECT_EQ(box.buttons, buttons);
    EXPECT_EQ(box.icon, icon);
}

long errorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AppError& error) {
        return error.number();
    }
    return 0;
}

std::unique_ptr<AutomationObject> FakeAutomation::bind(const QString& path) {
    m_journal.add("bind " + path);
    if (onBind)
        onBind(path);
    failIfScripted(path);
    return std::make_unique<FakeAutomationObject>(*this, path, path);
}

void FakeAutomation::failIfScripted(const QString& key) {
    const auto failure = failures.find(key);
    if (failure != failures.end())
        std::rethrow_exception(failure->second);
}

void FakePdfPrintServer::connect() {
    m_journal.add(QStringLiteral("connect"));
    EXPECT_FALSE(connected) << "connected while a connection was still open";
    if (unansweredConnects != 0) {
        if (unansweredConnects > 0)
            --unansweredConnects;
        throw AppError(ErrorNumber::ConversationNoAnswer, QStringLiteral("Nobody answered."));
    }
    connected = true;
}

void FakePdfPrintServer::disconnect() {
    if (connected)
        m_journal.add(QStringLiteral("disconnect"));
    connected = false;
}

void FakePdfPrintServer::command(const QString& name, const QString& path, Timeout timeout) {
    m_journal.add(QStringLiteral("%1 %2 @%3")
                      .arg(name, path,
                           timeout ? QString::number(timeout->count() / 1000.0) + 's'
                                   : QStringLiteral("default")));
    EXPECT_TRUE(connected) << "a command was sent without a connection";
    const auto refusal = refusals.find(name);
    if (refusal != refusals.end())
        throw refusal->second;
}

QString FakeBatchRunView::entry(int index) const {
    EXPECT_TRUE(index >= 0 && index < entries.size()) << "entry " << index << " read";
    return entries.value(index);
}

void FakeBatchRunView::addTypedPath() {
    if (!pathBox.isEmpty())
        entries.append(pathBox);
    clearTypedPath();
}

void FakeBatchRunView::clearTypedPath() {
    // Emptying the box is a change of its contents, and so of the batch, only when it held text.
    if (!pathBox.isEmpty())
        skipSave = false;
    pathBox.clear();
}

void FakeBatchRunView::setProgress(int done, int runTotal) {
    m_journal.add(QStringLiteral("progress %1").arg(done));
    EXPECT_EQ(runTotal, total);
    EXPECT_GE(done, 1);
    EXPECT_LE(done, total);
}

void FakeBatchRunView::setReadyState() {
    m_journal.add(QStringLiteral("ready"));
    entries.clear();
    pathBox.clear();
    skipSave = false;
}

} // namespace qp::test
