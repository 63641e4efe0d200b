// The board in the monitor's window, tried as a new user tries it: a BOS
// file imported on "Fzge importieren", a vehicle dragged to another page,
// the page named, a recording replayed whose FMS status colours the field;
// after a restart of the window everything is where it was.
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "gui/board/board_fields.h"
#include "gui/board/board_settings_pages.h"
#include "gui/board/call_name_editor.h"
#include "gui/board/field_look.h"
#include "gui/board/page_selectors.h"
#include "gui/board/vehicle_board.h"
#include "gui/capture_controller.h"
#include "window_rig.h"

namespace tolvana::gui {

using namespace tolvana::gui::test;

class WindowBoardTest : public QObject {
    Q_OBJECT
private slots:
    void newUserImportsArrangesReplaysAndRestarts();
};

namespace {

void dragToPage(VehicleBoard& board, int field, int page) {
    BoardFields* fields = board.fields();
    PageButton* button = board.pageSelectors()->button(page);
    const QPoint from = fields->fieldRect(field).center();
    const QPoint over = fields->mapFromGlobal(button->mapToGlobal(button->rect().center()));
    QTest::mousePress(fields, Qt::LeftButton, {}, from);
    QTest::mouseMove(fields, over);
    QTest::mouseRelease(fields, Qt::LeftButton, {}, over);
}

} // namespace

void WindowBoardTest::newUserImportsArrangesReplaysAndRestarts() {
    QTemporaryDir temp;
    const QString root = temp.path() + QStringLiteral("/home");
    // Every decoder on: the demo recording carries a status 7 of 73456782 on
    // the right channel.
    {
        const DataFolder folder = *DataFolder::open(root);
        MonitorSettings settings;
        settings.boardSizeIndex = 4;
        settings.decoderEnabled.fill(1);
        QVERIFY(saveSettings(folder, settings).ok());
    }
    const QString bos = temp.path() + QStringLiteral("/Demo.BOS");
    {
        QFile f(bos);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Rufnamen]\r\n6 2 34 56 78   RTW 1\r\n7 3 45 67 82   ELW Demo\r\n"
                "[Selektiv]\r\n12-345 Florian 1\r\n");
    }

    auto rig = std::make_unique<WindowRig>(root);
    QVERIFY(rig->startUp().isEmpty());
    auto* board = rig->window().findChild<VehicleBoard*>();
    QVERIFY(board != nullptr);
    QCOMPARE(board->parentWidget(), rig->window().boardTab());
    QVERIFY(rig->window().findChild<CallNameEditor*>() != nullptr);

    // "Fzge importieren": the file dialog, then the vehicles on the board.
    auto* import = rig->window().findChild<VehicleImportPanel*>();
    QVERIFY(import != nullptr);
    whenDialogOpens<QFileDialog>([bos](QFileDialog* d) {
        chooseFile(d, bos);
    });
    QTest::mouseClick(import->loadButton(), Qt::LeftButton);
    QCOMPARE(rig->state().vehicles.at(1).Rufname, QStringLiteral("ELW Demo"));
    QVERIFY(rig->monitor().messages().history().contains(
        QStringLiteral("tolvana: 2 Fahrzeuge wurden importiert.")));

    // On the board: drag ELW Demo to page 1 and name that page.
    rig->window().tabs()->setCurrentIndex(MainWindow::BoardTabIndex);
    QVERIFY(QTest::qWaitForWindowExposed(&rig->window()));
    QCOMPARE(board->fields()->look(1).text, QStringLiteral("ELW Demo"));
    whenDialogOpens<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    dragToPage(*board, 1, 1);
    QCOMPARE(rig->state().vehicles.at(200).Rufname, QStringLiteral("ELW Demo"));
    whenDialogOpens<QInputDialog>([](QInputDialog* d) {
        d->setTextValue(QStringLiteral("Wache Demo"));
        d->accept();
    });
    QTest::mouseClick(board->pageSelectors()->button(1), Qt::RightButton);
    QCOMPARE(rig->state().stationNames.name(1), QStringLiteral("Wache Demo"));
    QTest::mouseClick(board->pageSelectors()->button(1), Qt::LeftButton);
    QCOMPARE(board->fields()->look(0).fill, paintedColour(kDefaultStatusColours[5]));

    // The recording: the field turns to the colour of status 7.
    QSignalSpy finished(&rig->window().capture(), &CaptureController::replayFinished);
    QVERIFY(rig->window().capture().startReplay(testData(QStringLiteral("demo/demo.flac")), true));
    QVERIFY(finished.wait(60000));
    QCOMPARE(rig->state().vehicles.at(200).Status, 7);
    QCOMPARE(board->fields()->look(0).fill, paintedColour(kDefaultStatusColours[6]));

    // Restart: the same data folder, a new window.
    rig.reset();
    rig = std::make_unique<WindowRig>(root);
    QVERIFY(rig->startUp().isEmpty());
    board = rig->window().findChild<VehicleBoard*>();
    QCOMPARE(board->pageSelectors()->button(1)->name(), QStringLiteral("Wache Demo"));
    QCOMPARE(board->fields()->look(0).text, QStringLiteral("RTW 1"));
    QCOMPARE(board->fields()->look(1).kind, FieldKind::Empty);
    board->setCurrentPage(1);
    QCOMPARE(board->fields()->look(0).text, QStringLiteral("ELW Demo"));
    QCOMPARE(board->fields()->look(0).fill, paintedColour(kDefaultStatusColours[6]));
    QCOMPARE(rig->state().vehicles.at(200).Kennung, QStringLiteral("73456782"));
}

} // namespace tolvana::gui

QTEST_MAIN(tolvana::gui::WindowBoardTest)
#include "window_board_test.moc"
