#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <cstdio>

namespace qp {

namespace {

void write(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

QString CommandLine::version() {
    return QStringLiteral("%1.%2.%3")
        .arg(QP_VERSION_MAJOR)
        .arg(QP_VERSION_MINOR)
        .arg(QP_VERSION_PATCH);
}

bool CommandLine::needsNoDisplay(const QStringList& arguments) {
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            return false;
        // Only whole words: Qt's own options for the window (-platform, -style...) also start
        // with a single dash. Short options run together (-pv) reach the window's start-up,
        // which prints too, but needs a display.
        static const QStringList consoleOptions = {
            QStringLiteral("-p"), QStringLiteral("--print"),  QStringLiteral("-h"),
            QStringLiteral("-?"), QStringLiteral("--help"),   QStringLiteral("--help-all"),
            QStringLiteral("-v"), QStringLiteral("--version")};
        if (consoleOptions.contains(argument))
            return true;
    }
    return false;
}

CommandLine CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints a batch of Word, Excel, PowerPoint and PDF files in one run.\n"
                       "Without --print, opens the window with the files added to its list;\n"
                       "batch files (.qpb) are opened as File > Open Batch opens them."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption printOption(
        {QStringLiteral("p"), QStringLiteral("print")},
        QStringLiteral("Print the files on the default printer without a window, then end. "
                       "Exit status: 0 when every entry printed, 1 when some did not, 2 when "
                       "the run could not start or was ended."));
    parser.addOption(printOption);
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("A document (.doc, .xls, .ppt, .pdf) or a batch file (.qpb)."),
        QStringLiteral("[FILE]..."));

    CommandLine result;
    result.mode = Mode::Finished;
    if (!parser.parse(arguments)) {
        write(stderr, QStringLiteral("quirepress: %1\nTry 'quirepress --help' for more "
                                     "information.\n")
                          .arg(parser.errorText()));
        result.exitStatus = NotRunStatus;
        return result;
    }
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        write(stdout, parser.helpText());
        return result;
    }
    if (parser.isSet(versionOption)) {
        write(stdout, QStringLiteral("Quirepress %1\n").arg(version()));
        return result;
    }
    result.mode = parser.isSet(printOption) ? Mode::Print : Mode::Window;
    result.files = parser.positionalArguments();
    return result;
}

} // namespace qp
