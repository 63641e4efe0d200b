// tolvana: the monitor's window. One instance per data folder; the data
// folder is --home DIR, else $TOLVANA_HOME, else ~/.local/share/tolvana.
// A recording given with --replay runs through the decoders as if it came
// from the sound card, so the whole program can be shown without a radio.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>

#include "gui/capture_controller.h"
#include "gui/captions.h"
#include "gui/main_window.h"
#include "gui/monitor.h"
#include "gui/window_parts.h"
#include "records/data_folder.h"
#include "records/data_folder_lock.h"

int main(int argc, char* argv[]) {
    using namespace tolvana;
    using namespace tolvana::gui;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvana"));
    QApplication::setApplicationVersion(QStringLiteral(TOLVANA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Monitor for FMS, ZVEI and POCSAG on one or two radio receivers."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption homeOpt(QStringLiteral("home"), QStringLiteral("Data folder."), QStringLiteral("DIR"));
    const QCommandLineOption replayOpt(QStringLiteral("replay"),
                                       QStringLiteral("Replay a recording (WAV, FLAC, OGG, raw PCM) through the "
                                                      "decoders once the window stands, paced at real time."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption fastOpt(QStringLiteral("replay-fast"),
                                     QStringLiteral("Replay as fast as the decoders go."));
    parser.addOptions({homeOpt, replayOpt, fastOpt});
    parser.process(app);
    // A recording named without --replay (say "--replay-fast demo.flac")
    // would otherwise be passed over in silence and the window stay empty.
    if (!parser.positionalArguments().isEmpty() || (parser.isSet(fastOpt) && !parser.isSet(replayOpt))) {
        std::fprintf(stderr, "tolvana: %s\nusage: tolvana [--home DIR] [--replay FILE [--replay-fast]]\n",
                     parser.positionalArguments().isEmpty()
                         ? "--replay-fast needs --replay FILE"
                         : qPrintable(QStringLiteral("unexpected argument \"%1\" (a recording is given with --replay FILE)")
                                          .arg(parser.positionalArguments().constFirst())));
        return 2;
    }

    QString failedFolder;
    const std::optional<DataFolder> folder =
        DataFolder::open(DataFolder::locate(parser.value(homeOpt)), &failedFolder);
    if (!folder) {
        QMessageBox::critical(nullptr, text::kTitleAttention, DataFolder::creationError(failedFolder));
        return 1;
    }
    // One monitor per data folder: a second one would write the same logs
    // and tables. The running one is not touched.
    DataFolderLock::Outcome outcome = DataFolderLock::Outcome::Failed;
    const std::unique_ptr<DataFolderLock> lock = DataFolderLock::acquire(*folder, &outcome);
    if (outcome == DataFolderLock::Outcome::HeldByOther) {
        std::fprintf(stderr, "tolvana: %s (%s)\n", qPrintable(text::kAlreadyRunning), qPrintable(folder->root()));
        QMessageBox::information(nullptr, text::kWindowTitle, text::kAlreadyRunning);
        return 1;
    }

    Monitor monitor(*folder);
    MainWindow window(monitor);
    installWindowParts(window);
    QStringList problems = window.startUp();
    if (outcome == DataFolderLock::Outcome::Failed) {
        problems.prepend(text::kLockNotWritable.arg(folder->root()));
    }
    window.show();
    if (!problems.isEmpty()) {
        monitor.messages().show(text::kTitleAttention, text::kStartUpProblems + u'\n' + problems.join(u'\n'));
    }
    if (parser.isSet(replayOpt)) {
        const QString path = parser.value(replayOpt);
        const bool fast = parser.isSet(fastOpt);
        QTimer::singleShot(0, &window, [&window, path, fast] { window.capture().startReplay(path, fast); });
    }
    return QApplication::exec();
}
