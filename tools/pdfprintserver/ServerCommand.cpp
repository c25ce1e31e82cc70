#include "ServerCommand.h"

#include "CommandRefused.h"

namespace qp::pdfserver {

namespace {

// Long enough to recognise a command in a message, short enough to keep a message box sane.
constexpr int shownCommandLength = 200;

QString shown(const QString& text) {
    if (text.size() <= shownCommandLength)
        return text;
    return text.left(shownCommandLength) + QStringLiteral("...");
}

} // namespace

ServerCommand parseCommand(const QString& text) {
    // The path is everything between the opening quote and the closing quote of the fixed
    // ending: the client does not escape it, so a quote or bracket inside a file name is
    // still taken as part of the name.
    static const QString ending = QStringLiteral("\")]");
    struct Form {
        QString opening;
        CommandKind kind;
    };
    static const Form forms[] = {
        {QStringLiteral("[DocOpen(\""), CommandKind::DocOpen},
        {QStringLiteral("[FilePrintSilent(\""), CommandKind::FilePrintSilent}};
    for (const Form& form : forms) {
        if (text.size() >= form.opening.size() + ending.size() && text.startsWith(form.opening) &&
            text.endsWith(ending)) {
            const QString path =
                text.mid(form.opening.size(), text.size() - form.opening.size() - ending.size());
            if (path.isEmpty())
                throw CommandRefused(
                    QStringLiteral("The command %1 names no file.").arg(shown(text)));
            return {form.kind, path};
        }
    }
    throw CommandRefused(QStringLiteral("The PDF print server does not understand the command "
                                        "%1. It accepts [DocOpen(\"path\")] and "
                                        "[FilePrintSilent(\"path\")].")
                             .arg(shown(text)));
}

} // namespace qp::pdfserver
