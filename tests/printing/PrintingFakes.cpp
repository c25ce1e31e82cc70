#include "PrintingFakes.h"

#include <gtest/gtest.h>

namespace qp::test {

namespace {

QString argsText(const QVariantList& args) {
    QStringList parts;
    for (const QVariant& arg : args)
        parts.append(arg.toString());
    return parts.join(QLatin1Char(','));
}

class FakeAutomationObject : public AutomationObject {
public:
    enum class Role { Document, Application, Worksheets, Worksheet };

    FakeAutomationObject(FakeAutomation& automation, QString path, QString name, Role role)
        : m_automation(automation), m_path(std::move(path)), m_name(std::move(name)), m_role(role) {
        ++m_automation.liveObjects;
        ++m_automation.objectsMade;
    }
    ~FakeAutomationObject() override {
        --m_automation.liveObjects;
        m_automation.journal().add(QStringLiteral("release ") + m_name);
    }

    void call(const QString& member, const QVariantList& args) override {
        m_automation.journal().add(
            QStringLiteral("call %1.%2(%3)").arg(m_name, member, argsText(args)));
        m_automation.failIfScripted(m_name + QLatin1Char('.') + member);
    }

    QVariant value(const QString& member) override {
        m_automation.journal().add(QStringLiteral("value %1.%2").arg(m_name, member));
        if (m_automation.onValue)
            m_automation.onValue(m_name, member);
        m_automation.failIfScripted(m_name + QLatin1Char('.') + member);
        DocumentScript& script = m_automation.script(m_path);
        if (m_role == Role::Application && member == QLatin1String("BackgroundPrintingStatus")) {
            const QVariant status = script.backgroundStatus.front();
            if (script.backgroundStatus.size() > 1)
                script.backgroundStatus.pop_front();
            return status;
        }
        if (m_role == Role::Worksheets && member == QLatin1String("Count"))
            return script.worksheetCountValue.isValid() ? script.worksheetCountValue
                                                        : QVariant(script.worksheetCount);
        ADD_FAILURE() << "no value " << member.toStdString() << " on " << m_name.toStdString();
        return {};
    }

    std::unique_ptr<AutomationObject> object(const QString& member,
                                             const QVariantList& args) override {
        m_automation.journal().add(
            QStringLiteral("object %1.%2(%3)").arg(m_name, member, argsText(args)));
        m_automation.failIfScripted(m_name + QLatin1Char('.') + member);
        if (m_role == Role::Document && member == QLatin1String("Parent") && args.isEmpty())
            return std::make_unique<FakeAutomationObject>(
                m_automation, m_path, m_path + QStringLiteral("/Parent"), Role::Application);
        if (m_role == Role::Document && member == QLatin1String("Worksheets")) {
            if (args.isEmpty())
                return std::make_unique<FakeAutomationObject>(
                    m_automation, m_path, m_path + QStringLiteral("/Worksheets"), Role::Worksheets);
            // Index arguments are passed as 16-bit integers.
            EXPECT_EQ(args.size(), 1);
            EXPECT_EQ(args.front().metaType(), QMetaType::fromType<qint16>());
            return std::make_unique<FakeAutomationObject>(
                m_automation, m_path,
                m_path + QStringLiteral("/Worksheets(%1)").arg(args.front().toInt()),
                Role::Worksheet);
        }
        ADD_FAILURE() << "no object " << member.toStdString() << " on " << m_name.toStdString();
        throw AppError(ErrorNumber::AutomationError, QStringLiteral("Unknown member"));
    }

private:
    FakeAutomation& m_automation;
    QString m_path;
    QString m_name;
    Role m_role;
};

} // namespace

QStringList Journal::starting(const QString& prefix) const {
    QStringList found;
    for (const QString& line : lines)
        if (line.startsWith(prefix))
            found.append(line);
    return found;
}

PromptAnswer JournalPrompter::ask(const QString& text, const QString& title, PromptButtons buttons,
                                  PromptIcon icon) {
    m_journal.add(QStringLiteral("box ") + title);
    return FakePrompter::ask(text, title, buttons, icon);
}

std::unique_ptr<AutomationObject> FakeAutomation::bind(const QString& path) {
    m_journal.add(QStringLiteral("bind ") + path);
    if (onBind)
        onBind(path);
    const auto failure = unbindable.find(path);
    if (failure != unbindable.end())
        throw failure->second;
    return std::make_unique<FakeAutomationObject>(*this, path, path,
                                                  FakeAutomationObject::Role::Document);
}

void FakeAutomation::failIfScripted(const QString& key) {
    const auto failure = failures.find(key);
    if (failure != failures.end())
        throw failure->second;
}

void FakeProgramStarter::start(const QString& program) {
    m_journal.add(QStringLiteral("start ") + program);
    if (failure)
        throw *failure;
    ++starts;
}

void FakeConversation::open(const QString& application, const QString& topic, const QString& item) {
    m_journal.add(QStringLiteral("open %1|%2|%3").arg(application, topic, item));
    EXPECT_FALSE(m_open) << "a conversation was opened while another was open";
    if (unansweredOpens != 0) {
        if (unansweredOpens > 0)
            --unansweredOpens;
        throw AppError(ErrorNumber::ConversationNoAnswer,
                       QStringLiteral("No foreign application responded to a DDE initiate."));
    }
    ++opens;
    m_open = true;
}

void FakeConversation::execute(const QString& command, int timeoutTenths) {
    m_journal.add(QStringLiteral("execute %1 @%2").arg(command).arg(timeoutTenths));
    EXPECT_TRUE(m_open) << "a command was sent with no open conversation";
    executed.append(command);
    timeouts.append(timeoutTenths);
    for (const auto& [prefix, error] : refusals)
        if (command.startsWith(prefix))
            throw error;
}

void FakeConversation::close() {
    m_journal.add(QStringLiteral("close"));
    m_open = false;
}

void FakeWaitClock::sleepFor(std::chrono::milliseconds duration) {
    m_now += duration;
    slept += duration;
    ++sleeps;
}

QString FakeBatchRunView::entry(int index) const {
    EXPECT_GE(index, 0);
    EXPECT_LT(index, entries.size()) << "an entry beyond the list was read";
    return index >= 0 && index < entries.size() ? entries.at(index) : QString();
}

void FakeBatchRunView::addPathToAdd() {
    m_journal.add(QStringLiteral("add ") + pathBox);
    if (!pathBox.isEmpty()) {
        entries.append(pathBox);
        skipSave = false;
    }
    clearPathToAdd();
}

void FakeBatchRunView::clearPathToAdd() {
    // Emptying the box is a change of its contents only when it held text.
    if (!pathBox.isEmpty())
        skipSave = false;
    pathBox.clear();
}

void FakeBatchRunView::setProgressMaximum(double newMaximum) {
    maximum = newMaximum;
    checkRange();
}

void FakeBatchRunView::setProgressMinimum(double newMinimum) {
    minimum = newMinimum;
    checkRange();
}

void FakeBatchRunView::checkRange() {
    // A bar whose minimum is not below its maximum cannot show any progress.
    if (minimum >= maximum)
        invalidRanges.append({minimum, maximum});
}

void FakeBatchRunView::setProgressValue(double newValue) {
    m_journal.add(QStringLiteral("progress %1").arg(newValue));
    EXPECT_GE(newValue, minimum);
    EXPECT_LE(newValue, maximum);
    value = newValue;
}

void FakeBatchRunView::showProgress() {
    m_journal.add(QStringLiteral("show progress"));
    progressVisible = true;
}

void FakeBatchRunView::setStatus(const QString& text) {
    m_journal.add(QStringLiteral("status ") + text);
    status = text;
}

void FakeBatchRunView::showBusyPointer() {
    m_journal.add(QStringLiteral("busy pointer"));
    busyPointer = true;
}

void FakeBatchRunView::restoreDefaultPointer() {
    busyPointer = false;
}

void FakeBatchRunView::showLocateAcrobat() {
    m_journal.add(QStringLiteral("show locate acrobat"));
    locateAcrobatVisible = true;
}

void FakeBatchRunView::saveBatch() {
    m_journal.add(QStringLiteral("save batch"));
    savedBatches.append(entries);
}

void FakeBatchRunView::setReadyState() {
    m_journal.add(QStringLiteral("ready"));
    ++readyStates;
    entries.clear();
    pathBox.clear();
    status = QStringLiteral("Ready");
    progressVisible = false;
    busyPointer = false;
    skipSave = false;
}

void FakeBatchRunView::repaintNow() {
    m_journal.add(QStringLiteral("repaint"));
    ++repaints;
}

void FakeBatchRunView::yieldToEvents() {
    m_journal.add(QStringLiteral("yield"));
    ++yields;
    if (onYield)
        onYield(yields);
}

} // namespace qp::test
