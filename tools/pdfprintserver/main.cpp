// quirepress-pdf-server: prints PDF files for Quirepress. It owns the bus name of the
// conversation "AcroView|Control" on the session bus (see platform/dbus/ConversationAddress.h)
// and takes [DocOpen("path")] and [FilePrintSilent("path")] there. It has no window and no
// arguments, and ends by itself after a while without commands.

#include "ConversationHandler.h"
#include "ConversationObject.h"
#include "IdleExit.h"
#include "JobSender.h"
#include "PdfExaminer.h"
#include "platform/dbus/ConversationAddress.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cstdio>

int main(int argc, char** argv) {
    using namespace qp::pdfserver;
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("quirepress-pdf-server"));

    const auto address =
        qp::dbus::conversationAddress(QStringLiteral("AcroView"), QStringLiteral("Control"));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "quirepress-pdf-server: no D-Bus session bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }

    PopplerPdfExaminer examiner;
    CupsJobSender sender;
    ConversationHandler handler(examiner, sender);
    ConversationObject object(handler);
    IdleExit idleExit(bus, IdleExit::idleMillisecondsFromEnvironment());
    QObject::connect(&object, &ConversationObject::commandAnswered, &idleExit, &IdleExit::restart);
    QObject::connect(&idleExit, &IdleExit::timeToExit, &app, &QCoreApplication::quit);

    // The object is in place before the name is taken, so the first caller finds it.
    if (!bus.registerVirtualObject(address.path, &object)) {
        std::fprintf(stderr, "quirepress-pdf-server: cannot register %s: %s\n",
                     qPrintable(address.path), qPrintable(bus.lastError().message()));
        return 1;
    }
    const auto reply = bus.interface()->registerService(
        address.service, QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        std::fprintf(stderr, "quirepress-pdf-server: cannot take %s: %s\n",
                     qPrintable(address.service), qPrintable(reply.error().message()));
        return 1;
    }
    // Another server already serves: the caller will talk to that one.
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered)
        return 0;
    return app.exec();
}
