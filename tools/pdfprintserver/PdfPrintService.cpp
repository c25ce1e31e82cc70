#include "PdfPrintService.h"

#include "CommandRefused.h"
#include "ConversationHandler.h"
#include "platform/dbus/PdfServerBus.h"

namespace qp::pdfserver {

namespace {

const QString& errorName(CommandRefused::Cause cause) {
    switch (cause) {
    case CommandRefused::Cause::Document:
        return dbus::unusableDocumentError;
    case CommandRefused::Cause::NoDefaultPrinter:
        return dbus::noDefaultPrinterError;
    case CommandRefused::Cause::Server:
        break;
    }
    return dbus::serverFailedError;
}

} // namespace

PdfPrintService::PdfPrintService(ConversationHandler& handler, QObject* parent)
    : QObject(parent), m_handler(handler) {}

void PdfPrintService::OpenDocument(const QString& path) {
    answer(QStringLiteral("OpenDocument(%1)").arg(path), [&] { m_handler.open(path); });
}

int PdfPrintService::PrintDocument(const QString& path, const QString& destination,
                                   const QStringList& options, int& pages) {
    ConversationHandler::Printed printed;
    answer(QStringLiteral("PrintDocument(%1)").arg(path),
           [&] { printed = m_handler.print(path, destination, options); });
    pages = printed.pages;
    return printed.job;
}

void PdfPrintService::PrintDocumentSilently(const QString& path, const QString& destination,
                                            const QStringList& options) {
    answer(QStringLiteral("PrintDocumentSilently(%1)").arg(path),
           [&] { m_handler.print(path, destination, options); });
}

void PdfPrintService::answer(const QString& call, const std::function<void()>& command) {
    try {
        command();
    } catch (const CommandRefused& refusal) {
        sendErrorReply(errorName(refusal.cause()), refusal.message());
    } catch (const std::exception& failure) {
        sendErrorReply(dbus::serverFailedError,
                       QStringLiteral("The PDF print server failed on %1: %2")
                           .arg(call, QString::fromLocal8Bit(failure.what())));
    }
    Q_EMIT commandAnswered();
}

} // namespace qp::pdfserver
