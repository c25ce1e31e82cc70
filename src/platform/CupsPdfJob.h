#pragma once

// How a PDF file becomes one CUPS job. The program (for what the office renders) and the PDF
// print server (for the user's own PDFs) both compile this header, so that a job carries the
// same options, and fails with the same words, whichever of them sent it.

#include <QFile>
#include <QString>
#include <QStringList>
#include <cups/cups.h>

namespace qp::cups {

// The destination as lp finds it: "printer/instance" with the instance's own lpoptions, a
// printer alone, or the default (lpoptions, LPDEST, PRINTER) for the empty text. libcups
// takes the instance apart from the name. nullptr when there is none; free with cupsFreeDests.
inline cups_dest_t* namedDest(const QString& destination) {
    if (destination.isEmpty())
        return cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    const QByteArray name = destination.section(QLatin1Char('/'), 0, 0).toUtf8();
    const QByteArray instance = destination.section(QLatin1Char('/'), 1).toUtf8();
    return cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(),
                            instance.isEmpty() ? nullptr : instance.constData());
}

// The destination's own options (lpoptions) with those of the job over them, as lp does.
class JobOptions {
public:
    JobOptions(const cups_dest_t& dest, const QStringList& given) {
        for (int i = 0; i < dest.num_options; ++i)
            m_count =
                cupsAddOption(dest.options[i].name, dest.options[i].value, m_count, &m_options);
        for (const QString& option : given)
            m_count = cupsParseOptions(option.toUtf8().constData(), m_count, &m_options);
    }
    ~JobOptions() { cupsFreeOptions(m_count, m_options); }
    JobOptions(const JobOptions&) = delete;
    JobOptions& operator=(const JobOptions&) = delete;
    int count() const { return m_count; }
    cups_option_t* options() const { return m_options; }

private:
    int m_count = 0;
    cups_option_t* m_options = nullptr;
};

// Sends the opened PDF file unconverted to the destination as one job named title, each
// option one argument of lp's -o. Returns the job's id, or 0 with the reason in failure; a
// job that was created but could not be completed is cancelled.
inline int sendPdfJob(const cups_dest_t& dest, QFile& file, const QString& title,
                      const QStringList& options, QString& failure) {
    const JobOptions jobOptions(dest, options);
    const QByteArray name = title.toUtf8();
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, dest.name, name.constData(),
                                  jobOptions.count(), jobOptions.options());
    if (job == 0) {
        failure = QString::fromUtf8(cupsLastErrorString());
        return 0;
    }
    const auto abandon = [&](const QString& reason) {
        failure = reason;
        cupsFinishDocument(CUPS_HTTP_DEFAULT, dest.name);
        cupsCancelJob2(CUPS_HTTP_DEFAULT, dest.name, job, 0);
        return 0;
    };
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, dest.name, job, name.constData(), CUPS_FORMAT_PDF,
                          1) != HTTP_STATUS_CONTINUE)
        return abandon(QString::fromUtf8(cupsLastErrorString()));
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(chunk.data(), chunk.size());
        if (read < 0)
            return abandon(file.errorString());
        if (read == 0)
            break;
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, chunk.constData(), static_cast<size_t>(read)) !=
            HTTP_STATUS_CONTINUE)
            return abandon(QString::fromUtf8(cupsLastErrorString()));
    }
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, dest.name) >= IPP_STATUS_REDIRECTION_OTHER_SITE) {
        failure = QString::fromUtf8(cupsLastErrorString());
        return 0;
    }
    return job;
}

} // namespace qp::cups
