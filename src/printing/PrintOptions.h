#pragma once

#include <QString>
#include <QStringList>

namespace qp {

// How every job of a run is printed, in lp's terms (-d, -n, -o, -P). The default value prints
// as the window does: on the default destination, once, with the queue's own options.
struct PrintOptions {
    // Empty: the default destination, which lpoptions, LPDEST and PRINTER choose as for lp.
    // May name an instance ("office/duplex").
    QString destination;
    int copies = 0; // 0: as the destination's options say
    QString pages;  // lp's page list ("1-3,7"), empty for all
    // lp's -o arguments as given, each one or more NAME[=VALUE] separated by blanks.
    QStringList options;

    bool isDefault() const {
        return destination.isEmpty() && copies == 0 && pages.isEmpty() && options.isEmpty();
    }

    // What CUPS is handed, in order, each as lp's -o would take it; a later one wins over an
    // earlier one of the same name, so -n and -P win over a copies or page-ranges given by -o.
    QStringList cupsOptions() const {
        QStringList all = options;
        if (copies > 0) {
            all << QStringLiteral("copies=%1").arg(copies)
                // lp -n prints whole sets, not each page n times over.
                << QStringLiteral("multiple-document-handling=separate-documents-collated-copies");
        }
        if (!pages.isEmpty())
            all << QStringLiteral("page-ranges=") + pages;
        return all;
    }
};

} // namespace qp
