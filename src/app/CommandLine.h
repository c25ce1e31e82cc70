#pragma once

#include "printing/PrintOptions.h"

#include <QStringList>

namespace qp {

// What the program was asked for on its command line:
//   quirepress [FILE]...          the window, with the files added to the list
//   quirepress --print [-d DEST] [-n COPIES] [-o NAME[=VALUE]]... [-P PAGES] [-r] [--dry-run]
//              [--wait] [--report FILE] [FILE|DIR]...
//                                    the files printed without a window, with lp's options
//   quirepress --watch DIR [--settle SECONDS] [-d DEST] [-n COPIES] [-o NAME[=VALUE]]...
//              [-P PAGES]            what is dropped into DIR printed, until SIGTERM or SIGINT
// --help and --version print their text and end the program.
struct CommandLine {
    enum class Mode { Window, Print, Watch, Finished };
    Mode mode = Mode::Window;
    QStringList files;
    PrintOptions options;
    bool recursive = false; // folders stand for their subfolders' files too
    bool dryRun = false;    // list the jobs, print nothing
    bool wait = false;      // follow every job to its end in CUPS
    QString report;         // where the JSON Lines report goes ("-": stdout); empty: nowhere
    QString watchFolder;
    double settleSeconds = 2; // how long a dropped file stays unchanged before it prints
    int exitStatus = 0;       // for Finished: 0 after --help or --version, 2 after bad usage

    // Exit status of a run that could not start or was ended.
    static constexpr int NotRunStatus = 2;

    // Whether the arguments ask only for what needs no display (--print, --watch, --help,
    // --version): the program must then start without connecting to one, which under cron or ssh is
    // not there. Looks at the arguments before any application object exists.
    static bool needsNoDisplay(const QStringList& arguments);

    // Reads the arguments (the program's name first) with QCommandLineParser. The help and
    // version texts go to stdout, the complaint about bad usage to stderr.
    static CommandLine parse(const QStringList& arguments);

    static QString version();
};

} // namespace qp
