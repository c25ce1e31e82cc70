// quirepress-pdf-server: prints PDF files for Quirepress. It owns the server's name on the
// session bus (platform/dbus/PdfServerBus.h) and offers OpenDocument and
// PrintDocumentSilently there (platform/dbus/org.quirepress.PdfPrintServer.xml). It has no
// window and no arguments, and ends by itself after a while without calls.

#include "ConversationHandler.h"
#include "IdleExit.h"
#include "JobSender.h"
#include "PdfExaminer.h"
#include "PdfPrintService.h"
#include "pdfprintserveradaptor.h"
#include "platform/dbus/PdfServerBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cstdio>

int main(int argc, char** argv) {
    using namespace qp::pdfserver;
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("quirepress-pdf-server"));

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "quirepress-pdf-server: no D-Bus session bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }

    PopplerPdfExaminer examiner;
    CupsJobSender sender;
    ConversationHandler handler(examiner, sender);
    PdfPrintService service(handler);
    new PdfPrintServerAdaptor(&service);
    IdleExit idleExit(bus, IdleExit::idleMillisecondsFromEnvironment());
    QObject::connect(&service, &PdfPrintService::commandAnswered, &idleExit, &IdleExit::restart);
    QObject::connect(&idleExit, &IdleExit::timeToExit, &app, &QCoreApplication::quit);

    // The object is in place before the name is taken, so the first caller finds it.
    if (!bus.registerObject(qp::dbus::pdfServerPath, &service)) {
        std::fprintf(stderr, "quirepress-pdf-server: cannot register %s: %s\n",
                     qPrintable(qp::dbus::pdfServerPath), qPrintable(bus.lastError().message()));
        return 1;
    }
    const auto reply = bus.interface()->registerService(
        qp::dbus::pdfServerName, QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        std::fprintf(stderr, "quirepress-pdf-server: cannot take %s: %s\n",
                     qPrintable(qp::dbus::pdfServerName), qPrintable(reply.error().message()));
        return 1;
    }
    // Another server already serves: the caller will talk to that one.
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered)
        return 0;
    return app.exec();
}
