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
            QStringLiteral("-p"), QStringLiteral("--print"),   QStringLiteral("-h"),
            QStringLiteral("-?"), QStringLiteral("--help"),    QStringLiteral("--help-all"),
            QStringLiteral("-v"), QStringLiteral("--version"), QStringLiteral("--dry-run")};
        if (consoleOptions.contains(argument) || argument.startsWith(QLatin1String("--watch")))
            return true;
    }
    return false;
}

CommandLine CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints a batch of Word, Excel, PowerPoint and PDF files in one run:\n"
                       "  Word        .doc .docx .docm .dot .dotx .odt .ott .rtf\n"
                       "  Excel       .xls .xlsx .xlsm .ods .ots (one job a worksheet for .xls,\n"
                       "              one job of the visible worksheets for the others)\n"
                       "  PowerPoint  .ppt .pptx .pptm .pps .ppsx .odp .otp\n"
                       "  PDF         .pdf\n"
                       "Without --print, opens the window with the files added to its list;\n"
                       "batch files (.qpb) are opened as File > Open Batch opens them."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption printOption(
        {QStringLiteral("p"), QStringLiteral("print")},
        QStringLiteral("Print the files without a window, then end. Exit status: 0 when every "
                       "entry printed, 1 when some did not (a document that crashes or hangs "
                       "LibreOffice is not printed, and the run goes on with a fresh one), 2 "
                       "when the run could not start or was ended (Ctrl+C or kill: within "
                       "seconds, at once when repeated). "
                       "Example: --print ~/batches/monday.qpb ~/forms"));
    // lp's letters, with lp's meanings.
    const QCommandLineOption destinationOption(
        {QStringLiteral("d"), QStringLiteral("destination")},
        QStringLiteral("Print on DEST, a printer or an instance of one, instead of the default "
                       "destination (which LPDEST, PRINTER or lpoptions -d choose). "
                       "Example: -d office/duplex"),
        QStringLiteral("DEST"));
    const QCommandLineOption copiesOption(
        {QStringLiteral("n"), QStringLiteral("copies")},
        QStringLiteral("Print COPIES collated copies of every job. Example: -n 3"),
        QStringLiteral("COPIES"));
    const QCommandLineOption optionOption(
        {QStringLiteral("o"), QStringLiteral("option")},
        QStringLiteral("Give every job the CUPS job option NAME (set to VALUE); may be "
                       "repeated. "
                       "Examples: -o sides=two-sided-long-edge, -o media=A4, "
                       "-o print-color-mode=monochrome, -o fit-to-page"),
        QStringLiteral("NAME[=VALUE]"));
    const QCommandLineOption pagesOption(
        {QStringLiteral("P"), QStringLiteral("pages")},
        QStringLiteral("Print only the pages of PAGES of every job, each worksheet's of a "
                       "workbook. Example: -P 1-3,7"),
        QStringLiteral("PAGES"));
    const QCommandLineOption recursiveOption(
        {QStringLiteral("r"), QStringLiteral("recursive")},
        QStringLiteral("A folder stands for the files of its subfolders too, depth first. "
                       "Example: -r ~/invoices"));
    const QCommandLineOption dryRunOption(
        QStringLiteral("dry-run"),
        QStringLiteral("Run as --print, but render and count each job instead of sending it. "
                       "One line per job, tab-separated: file, worksheet (\"sheet N\" or "
                       "empty), destination, options, pages (after -P); then \"total\", \"N "
                       "jobs\", \"N sheets\" of paper (with -n and sides), \"N pages\". Exit "
                       "status as --print's. Example: --dry-run -d office ~/invoices"));
    const QCommandLineOption waitOption(
        QStringLiteral("wait"),
        QStringLiteral("Follow every job in CUPS until it is completed, aborted or canceled, "
                       "and tell each ending; only an entry whose jobs all completed counts as "
                       "printed. A stopped printer is told once, and waited for. Ctrl+C ends "
                       "the wait with exit status 2 and leaves the jobs queued."));
    const QCommandLineOption reportOption(
        QStringLiteral("report"),
        QStringLiteral("Write what became of each job to FILE (- for standard output) as JSON "
                       "Lines, as the run goes: one object per job and per entry that gave "
                       "none, with file, worksheet, destination, job, state (sent, completed, "
                       "aborted, canceled, not-printed), reason, pages, options and the times "
                       "started, sent and ended; then a summary object. "
                       "Example: --wait --report run.jsonl"),
        QStringLiteral("FILE"));
    const QCommandLineOption watchOption(
        QStringLiteral("watch"),
        QStringLiteral("Print each file dropped into DIR (not its subfolders) once it is complete, "
                       "then move it to DIR/Printed, or to DIR/Failed when it cannot be printed; "
                       "runs until SIGTERM or SIGINT, then exits 0. Takes -d, -n, -o, -P and "
                       "--report. Example: --watch ~/print-here"),
        QStringLiteral("DIR"));
    const QCommandLineOption settleOption(
        QStringLiteral("settle"),
        QStringLiteral("With --watch: a file prints once it is closed and has stayed unchanged "
                       "for SECONDS (default 2). Example: --settle 10"),
        QStringLiteral("SECONDS"));
    parser.addOptions({printOption, destinationOption, copiesOption, optionOption, pagesOption,
                       recursiveOption, dryRunOption, waitOption, reportOption, watchOption,
                       settleOption});
    parser.addPositionalArgument(
        QStringLiteral("FILE|DIR"),
        QStringLiteral("A document, a batch file (.qpb), or a folder, which stands for its "
                       "documents of the endings above, in any case, in the order of their "
                       "names (2.doc before 10.doc)."),
        QStringLiteral("[FILE|DIR]..."));

    CommandLine result;
    result.mode = Mode::Finished;
    const auto badUsage = [&](const QString& complaint) {
        write(stderr, QStringLiteral("quirepress: %1\nTry 'quirepress --help' for more "
                                     "information.\n")
                          .arg(complaint));
        result.exitStatus = NotRunStatus;
        return result;
    };
    if (!parser.parse(arguments))
        return badUsage(parser.errorText());
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        write(stdout, parser.helpText());
        return result;
    }
    if (parser.isSet(versionOption)) {
        write(stdout, QStringLiteral("Quirepress %1\n").arg(version()));
        return result;
    }
    const bool print = parser.isSet(printOption) || parser.isSet(dryRunOption);
    const bool watch = parser.isSet(watchOption);
    if (watch &&
        (print || parser.isSet(recursiveOption) || !parser.positionalArguments().isEmpty()))
        return badUsage(QStringLiteral("--watch takes one folder, without files, --print, -r or "
                                       "--dry-run."));
    if (parser.isSet(settleOption)) {
        bool number = false;
        result.settleSeconds = parser.value(settleOption).toDouble(&number);
        if (!watch || !number || result.settleSeconds < 0 || result.settleSeconds > 86400)
            return badUsage(QStringLiteral("--settle goes with --watch and needs a number of "
                                           "seconds from 0 to 86400, not \"%1\".")
                                .arg(parser.value(settleOption)));
    }
    for (const QCommandLineOption* printing :
         {&destinationOption, &copiesOption, &optionOption, &pagesOption, &recursiveOption,
          &waitOption, &reportOption}) {
        // The watch takes lp's options and writes a report; following jobs is --print's alone.
        const bool taken = print || (watch && printing != &waitOption);
        if (!taken && parser.isSet(*printing))
            return badUsage(QStringLiteral("%1%2 is an option of --print.")
                                .arg(printing->names().constFirst().size() == 1 ? "-" : "--",
                                     printing->names().constFirst()));
    }
    if (parser.isSet(copiesOption)) {
        bool number = false;
        result.options.copies = parser.value(copiesOption).toInt(&number);
        if (!number || result.options.copies < 1)
            return badUsage(QStringLiteral("-n needs a number of copies of 1 or more, not \"%1\".")
                                .arg(parser.value(copiesOption)));
    }
    result.options.destination = parser.value(destinationOption);
    result.options.options = parser.values(optionOption);
    result.options.pages = parser.value(pagesOption);
    result.recursive = parser.isSet(recursiveOption);
    result.dryRun = parser.isSet(dryRunOption);
    result.wait = parser.isSet(waitOption);
    result.report = parser.value(reportOption);
    result.mode = watch ? Mode::Watch : print ? Mode::Print : Mode::Window;
    result.watchFolder = parser.value(watchOption);
    result.files = parser.positionalArguments();
    return result;
}

} // namespace qp
