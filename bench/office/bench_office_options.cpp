// Two ways to give an Office document's jobs lp's options, on the corpus's Word, Excel and
// PowerPoint files, each job into the same private CUPS queue, with one LibreOffice kept over
// UNO as the program keeps it:
//   print   the office prints to the queue by itself, as the program did before options
//           (the reference for fidelity);
//   (a)     the same with the office's own print options for -n 2 -P 1-2 and two sides;
//   (b)     the office renders the document (a worksheet alone) into PDF, and the file goes to
//           CUPS as the PDF print server sends a PDF, with every option as a job attribute.
// For each document: the time until its jobs were kept (a workbook: every visible sheet), the
// pages and the text of (b)'s jobs against print's, and what (a)'s jobs carried. As references,
// `soffice --headless -p` per file and `lp` of (b)'s rendered file.

#include "platform/CupsPrinters.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
#include "platform/libreoffice/OfficeHost.h"
#include "platform/libreoffice/OfficeProfile.h"
#include "platform/libreoffice/OfficeSession.h"
#include "support/PrivateCups.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

using namespace qp;
using std::chrono::seconds;

const QString Queue = QStringLiteral("bench");
const QStringList LpOptions = {QStringLiteral("sides=two-sided-long-edge"),
                               QStringLiteral("copies=2"),
                               QStringLiteral("multiple-document-handling="
                                              "separate-documents-collated-copies"),
                               QStringLiteral("page-ranges=1-2")};

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Kept {
    test::PrivateCups& cups;
    int count = 0;
    // The jobs sent since the last call, once kept; throws when they do not all come.
    QStringList since(int expected) {
        if (!cups.waitForJobs(Queue, count + expected, 120000))
            throw std::runtime_error("jobs did not arrive: " + cups.log().toStdString());
        const QStringList added = cups.jobFiles(Queue).mid(count);
        count += int(added.size());
        return added;
    }
};

template <class Result, class Work> Result call(OfficeHost& host, Work work) {
    auto result = std::make_shared<Result>();
    host.run(OfficeHost::Phase::Working, QStringLiteral("measuring"), seconds(600),
             [result, work](OfficeSession& s) { *result = work(s); });
    return *result;
}

// The words of a text, sorted: the same words in another order or spacing compare equal.
QStringList words(const QString& text) {
    QStringList all = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    all.sort();
    return all;
}

// How many words of one are not in the other, both ways, and a few of them.
QString wordDifference(const QStringList& printed, const QStringList& rendered) {
    QStringList onlyPrinted, onlyRendered;
    std::set_difference(printed.begin(), printed.end(), rendered.begin(), rendered.end(),
                        std::back_inserter(onlyPrinted));
    std::set_difference(rendered.begin(), rendered.end(), printed.begin(), printed.end(),
                        std::back_inserter(onlyRendered));
    return QStringLiteral("%1 of %2 words only printed (%3), %4 only rendered (%5)")
        .arg(onlyPrinted.size())
        .arg(printed.size())
        .arg(onlyPrinted.mid(0, 4).join(' '))
        .arg(onlyRendered.size())
        .arg(onlyRendered.mid(0, 4).join(' '));
}

struct Way {
    const char* name;
    std::vector<double> seconds;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        test::PrivateCups cups;
        cups.addKeepingQueue(Queue, true);
        Kept kept{cups};
        const bool quick = qEnvironmentVariableIsSet("QP_BENCH_QUICK");
        OfficeHost host(LibreOfficeApplication::defaultProgramDir());
        const CupsPrinters printers;
        const QTemporaryDir scratch;
        Way print{"print", {}}, mapped{"(a) print options", {}}, rendered{"(b) PDF + CUPS", {}};
        std::vector<double> lpSeconds, sendSeconds;
        int jobs = 0, samePages = 0, sameText = 0, sameWords = 0, aLimited = 0, aCopies = 0,
            aSides = 0;
        QStringList differing;
        QMap<QString, int> perKind;
        for (const test::CorpusDocument& document : test::corpus()) {
            if (document.kind == QLatin1String("pdf") || document.locked || document.textOnly ||
                (quick && perKind[document.kind] >= 1))
                continue;
            ++perKind[document.kind];
            const QString path = document.path;
            auto id = std::make_shared<int>(0);
            host.run(OfficeHost::Phase::Loading, QStringLiteral("opening"), seconds(600),
                     [id, path](OfficeSession& s) { *id = s.load(path); });
            const int doc = *id;
            // What prints: the whole document, or each visible worksheet that has a page.
            std::vector<int> parts{-1};
            if (document.kind == QLatin1String("xls")) {
                parts.clear();
                const int sheets =
                    call<int>(host, [doc](OfficeSession& s) { return s.sheetCount(doc); });
                for (int sheet = 0; sheet < sheets; ++sheet)
                    if (call<bool>(host, [doc, sheet](OfficeSession& s) {
                            return s.isSheetVisible(doc, sheet) && s.sheetPageCount(doc, sheet) > 0;
                        }))
                        parts.push_back(sheet);
            }
            QElapsedTimer timer;
            // print, then (a): the office's jobs.
            QStringList printJobs, mappedJobs, renderedJobs;
            for (Way* way : {&print, &mapped}) {
                OfficePrintChoices choices;
                if (way == &mapped)
                    choices = {2, QStringLiteral("1-2"), true};
                timer.start();
                for (int part : parts)
                    call<bool>(host, [doc, part, choices](OfficeSession& s) {
                        s.print(doc, Queue, part, choices);
                        return true;
                    });
                (way == &print ? printJobs : mappedJobs) = kept.since(int(parts.size()));
                way->seconds.push_back(timer.elapsed() / 1000.0);
            }
            // (b): rendered, then sent as the program sends it.
            timer.start();
            QStringList files;
            for (int part : parts) {
                const QString pdf = scratch.filePath(QStringLiteral("%1.pdf").arg(files.size()));
                call<bool>(host, [doc, part, pdf](OfficeSession& s) {
                    return s.exportPdf(doc, part, pdf);
                });
                QElapsedTimer sending;
                sending.start();
                if (printers.sendPdf(pdf, path.section('/', -1), {}, LpOptions).id == 0)
                    throw std::runtime_error("CUPS did not take a rendered job");
                sendSeconds.push_back(sending.elapsed() / 1000.0);
                files << pdf;
            }
            renderedJobs = kept.since(int(parts.size()));
            rendered.seconds.push_back(timer.elapsed() / 1000.0);
            call<bool>(host, [doc](OfficeSession& s) {
                s.close(doc);
                return true;
            });
            // lp of the same file, for the cost of sending it.
            timer.start();
            test::runTool(QStringLiteral("lp"), {QStringLiteral("-d"), Queue, files.front()});
            kept.since(1);
            lpSeconds.push_back(timer.elapsed() / 1000.0);

            for (qsizetype i = 0; i < printJobs.size(); ++i) {
                ++jobs;
                const int pages = test::pdfPages(printJobs[i]);
                const bool pagesMatch = test::pdfPages(renderedJobs[i]) == pages;
                const QString printedText = test::pdfText(printJobs[i]);
                const QString renderedText = test::pdfText(renderedJobs[i]);
                const bool textMatches = renderedText.simplified() == printedText.simplified();
                const QStringList printedWords = words(printedText);
                const QStringList renderedWords = words(renderedText);
                samePages += pagesMatch;
                sameText += textMatches;
                sameWords += printedWords == renderedWords;
                if (!pagesMatch || printedWords != renderedWords)
                    differing
                        << QStringLiteral("%1%2: %3 pages printed, %4 rendered; %5")
                               .arg(path.section('/', -1))
                               .arg(parts[size_t(i)] < 0
                                        ? QString()
                                        : QStringLiteral(" sheet %1").arg(parts[size_t(i)] + 1))
                               .arg(pages)
                               .arg(test::pdfPages(renderedJobs[i]))
                               .arg(wordDifference(printedWords, renderedWords));
                const QMap<QString, QString> a = cups.jobAttributes(mappedJobs[i]);
                aLimited += test::pdfPages(mappedJobs[i]) == std::min(pages, 2) ||
                            a.value(QStringLiteral("page-ranges")) == QLatin1String("1-2");
                aCopies += a.value(QStringLiteral("copies")) == QLatin1String("2") ||
                           test::pdfPages(mappedJobs[i]) == 2 * std::min(pages, 2);
                aSides += a.value(QStringLiteral("sides")) == QLatin1String("two-sided-long-edge");
            }
        }
        host.shutdown();

        // soffice -p per file, on a few documents of each kind.
        std::vector<double> sofficeSeconds;
        const OfficeProfile profile(LibreOfficeApplication::defaultProgramDir());
        QMap<QString, int> sampled;
        for (const test::CorpusDocument& document : test::corpus()) {
            if (document.kind == QLatin1String("pdf") || document.locked || document.textOnly ||
                document.kind == QLatin1String("xls") || sampled[document.kind] >= (quick ? 1 : 3))
                continue;
            ++sampled[document.kind];
            QElapsedTimer timer;
            timer.start();
            test::runTool(QStringLiteral("soffice"),
                          {QStringLiteral("-env:UserInstallation=") + profile.url(),
                           QStringLiteral("--headless"), QStringLiteral("-p"), document.path});
            kept.since(1);
            sofficeSeconds.push_back(timer.elapsed() / 1000.0);
        }

        const double reference = median(sofficeSeconds);
        std::printf("%zu Office documents (%d jobs), median seconds per document until kept:\n",
                    print.seconds.size(), jobs);
        for (const Way* way : {&print, &mapped, &rendered})
            std::printf("  %-20s %6.3f s  (%.2fx soffice -p per file, %.2fx print)\n", way->name,
                        median(way->seconds), median(way->seconds) / reference,
                        median(way->seconds) / median(print.seconds));
        std::printf("  soffice -p per file  %6.3f s  (%zu documents)\n", reference,
                    sofficeSeconds.size());
        std::printf("  of (b): sending one rendered job %.3f s; lp of the same file %.3f s "
                    "(%.2fx)\n",
                    median(sendSeconds), median(lpSeconds),
                    median(sendSeconds) / median(lpSeconds));
        std::printf("Fidelity of (b) against print: same page count %d/%d, same text %d/%d, "
                    "same words in another order or spacing %d/%d\n",
                    samePages, jobs, sameText, jobs, sameWords - sameText, jobs);
        for (const QString& line : differing)
            std::printf("  %s\n", qUtf8Printable(line));
        std::printf("What (a)'s jobs carried of -n 2 -P 1-2 -o sides=two-sided-long-edge: pages "
                    "limited %d/%d, 2 copies %d/%d, sides %d/%d\n",
                    aLimited, jobs, aCopies, jobs, aSides, jobs);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
}
