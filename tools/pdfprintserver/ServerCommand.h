#pragma once

#include <QString>

namespace qp::pdfserver {

enum class CommandKind { DocOpen, FilePrintSilent };

// One command of the conversation: [DocOpen("<path>")] or [FilePrintSilent("<path>")].
struct ServerCommand {
    CommandKind kind;
    QString path;
};

// Reads a command text exactly as the client builds it; anything else throws
// CommandRefused naming what was received.
ServerCommand parseCommand(const QString& text);

} // namespace qp::pdfserver
