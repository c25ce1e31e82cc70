#pragma once

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace qp::pdfserver {

class ConversationHandler;

// The object on the bus behind the generated adaptor: has the handler carry out each call,
// one after the other on the main thread, and answers a refusal with the D-Bus error of its
// cause.
class PdfPrintService : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit PdfPrintService(ConversationHandler& handler, QObject* parent = nullptr);

    // Called by the adaptor, named as on the bus.
    void OpenDocument(const QString& path);
    int PrintDocument(const QString& path, const QString& destination, const QStringList& options,
                      int& pages);
    void PrintDocumentSilently(const QString& path, const QString& destination,
                               const QStringList& options);

Q_SIGNALS:
    // A call has been answered; the server counts its idle time from here.
    void commandAnswered();

private:
    void answer(const QString& call, const std::function<void()>& command);

    ConversationHandler& m_handler;
};

} // namespace qp::pdfserver
