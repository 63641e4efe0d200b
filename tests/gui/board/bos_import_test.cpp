// A new user's first hour: import a BOS file, arrange the vehicles by drag
// and drop, name a page; after a restart everything is where it was left.
#include <QPushButton>
#include <QTest>

#include "board_test_support.h"
#include "gui/board/board_settings_pages.h"
#include "gui/board/call_name_editor.h"

namespace tolvana {

namespace {

// A BOS file as a region publishes it: Windows-1252, CR LF, sections the
// import does not use around the two it does.
QByteArray bosFile(int vehicles) {
    QByteArray s = "; Musterkreis\r\n[OrganisationenKurz]\r\n6=FW\r\n[Rufnamen]\r\n";
    s += "6 2 34 56 78   RTW 1\r\n";
    s += "6 2 34 56 79   Florian M\xFCnster 1/83-1\r\n";
    for (int i = 2; i < vehicles; ++i) {
        s += QStringLiteral("6 2 35 %1 %2   Fahrzeug %3\r\n")
                 .arg(i / 100, 2, 10, QLatin1Char('0'))
                 .arg(i % 100, 2, 10, QLatin1Char('0'))
                 .arg(i)
                 .toLatin1();
    }
    s += "[Selektiv]\r\n12-345 Florian 1\r\n23-456 \xC4rzte\r\n[Heimatfahrzeuge]\r\n6 2 34 56 78\r\n";
    return s;
}

} // namespace

class BosImportTest : public QObject {
    Q_OBJECT
private slots:
    void importArrangeRestartFindsEverything();
    void tableLimitAndAppend();
    void whatCannotBeImportedIsShown();
};

void BosImportTest::importArrangeRestartFindsEverything() {
    test::TestData data;
    test::ScriptedPrompts prompts;
    const QString path = data.folder().root() + QStringLiteral("/Musterkreis.bos");
    test::TestData::write(path, bosFile(3));

    auto board = std::make_unique<VehicleBoard>(*data.state, prompts);
    board->setClock(test::testNow);
    test::showBoard(*board);
    auto importPanel = std::make_unique<VehicleImportPanel>(*data.state, prompts);
    QObject::connect(importPanel.get(), &VehicleImportPanel::vehiclesChanged, board.get(),
                     &VehicleBoard::update_label);
    auto callNames = std::make_unique<CallNameEditor>(*data.state, prompts);

    // "I-R-F-BOS-Datei laden": the board shows the vehicles at once.
    prompts.file(path);
    QTest::mouseClick(importPanel->loadButton(), Qt::LeftButton);
    QCOMPARE(prompts.take(),
             (QStringList{QStringLiteral("file BOS-Datei selektieren!"),
                          QStringLiteral("inform tolvana: 3 Fahrzeuge wurden importiert.")}));
    QCOMPARE(board->fields()->look(0).text, QStringLiteral("RTW 1"));
    QCOMPARE(board->fields()->look(1).text, QStringLiteral("Florian M\u00FCnster 1/83-1"));
    QCOMPARE(board->fields()->look(2).text, QStringLiteral("Fahrzeug 2"));
    QCOMPARE(board->fields()->look(0).fill, paintedColour(kDefaultStatusColours[5]));
    QVERIFY(test::TestData::read(data.folder().vehiclesFile())
                .startsWith("RTW 1\tRTW 1\t62345678\r\nFlorian M\xFCnster 1/83-1\t"));

    // "Import aus I-R-F-BOS-Datei": the call names, into the grid and ZVEI.txt.
    prompts.file(path);
    QTest::mouseClick(callNames->importButton(), Qt::LeftButton);
    QCOMPARE(prompts.take().last(), QStringLiteral("inform tolvana: 2 Rufnamen wurden importiert."));
    QCOMPARE(callNames->model()->rowCount(), 2);
    QCOMPARE(test::TestData::read(data.folder().callNamesFile()),
             QByteArray("12345\tFlorian 1\t\r\n23456\t\xC4rzte\t\r\n"));
    // Never given a colour: the grid's own background, not black.
    QVERIFY(!callNames->model()->index(0, 0).data(Qt::BackgroundRole).isValid());

    // Arrange: RTW 1 to field 20 (column 1), the third vehicle to page 1; name page 1.
    prompts.yes();
    test::dragToField(*board, 0, 20);
    prompts.yes();
    test::dragToPage(*board, 2, 1);
    prompts.text(QStringLiteral("Wache S\u00FCd"));
    QTest::mouseClick(board->pageSelectors()->button(1), Qt::RightButton);
    QVERIFY(prompts.allAnswered());
    QVERIFY(!prompts.take().contains(QStringLiteral("UNANSWERED")));

    // Restart: a new state from the files, a new board.
    board.reset();
    importPanel.reset();
    callNames.reset();
    data.restart();
    VehicleBoard again(*data.state, prompts);
    test::showBoard(again);
    QCOMPARE(again.fields()->look(20).text, QStringLiteral("RTW 1"));
    QCOMPARE(again.fields()->look(0).kind, FieldKind::Empty);
    QCOMPARE(again.fields()->look(1).text, QStringLiteral("Florian M\u00FCnster 1/83-1"));
    QCOMPARE(again.pageSelectors()->button(1)->name(), QStringLiteral("Wache S\u00FCd"));
    again.setCurrentPage(1);
    QCOMPARE(again.fields()->look(0).text, QStringLiteral("Fahrzeug 2"));
    QCOMPARE(data.state->vehicles.at(0).Status, 5);
    QCOMPARE(data.state->vehicles.at(2).Status, 6);
    QCOMPARE(data.state->callNames.callNameCount(), 2);
    QCOMPARE(data.state->vehicles.indexOfKennungInUse(QStringLiteral("62350002")), 200);
}

void BosImportTest::tableLimitAndAppend() {
    test::TestData data;
    test::ScriptedPrompts prompts;
    data.state->settings.boardSizeIndex = 1; // 5 x 10: 1500 entries
    data.state->sizeVehicleTable();
    const QString path = data.folder().root() + QStringLiteral("/Land.BOS");
    test::TestData::write(path, bosFile(1600));
    VehicleImportPanel importPanel(*data.state, prompts);

    prompts.file(path);
    QTest::mouseClick(importPanel.loadButton(), Qt::LeftButton);
    QCOMPARE(prompts.take().last(),
             QStringLiteral("inform tolvana: Die Fahrzeugtabelle ist voll: von 1600 Fahrzeugen der "
                            "Datei wurden 1499 importiert (das letzte der 1500 Felder bleibt frei)."));
    QVERIFY(data.state->vehicles.at(1499).Rufname.isEmpty());
    QCOMPARE(data.state->vehicles.at(1498).Rufname, QStringLiteral("Fahrzeug 1498"));

    // Appending: behind the last used entry, with the option as saved or the check box.
    data.state->vehicles.resize(1500);
    data.state->vehicles.entry(9).Rufname = QStringLiteral("HLF");
    data.state->vehicles.setLastUsedIndex(9);
    test::TestData::write(path, bosFile(2));
    bool append = true;
    importPanel.setAppendSource([&append] { return append; });
    prompts.file(path);
    QTest::mouseClick(importPanel.loadButton(), Qt::LeftButton);
    QCOMPARE(data.state->vehicles.at(10).Rufname, QStringLiteral("RTW 1"));
    QCOMPARE(data.state->vehicles.at(11).Kennung, QStringLiteral("62345679"));
    append = false;
    prompts.file(path);
    QTest::mouseClick(importPanel.loadButton(), Qt::LeftButton);
    QCOMPARE(data.state->vehicles.at(0).Rufname, QStringLiteral("RTW 1"));
    QCOMPARE(prompts.take().size(), 4);
}

void BosImportTest::whatCannotBeImportedIsShown() {
    test::TestData data;
    test::ScriptedPrompts prompts;
    VehicleImportPanel importPanel(*data.state, prompts);

    // Cancelled, or not a BOS file: nothing imported and nothing said, but
    // Fzg.txt is written all the same.
    prompts.file(QString());
    QTest::mouseClick(importPanel.loadButton(), Qt::LeftButton);
    const QString text = data.folder().root() + QStringLiteral("/Kreis.txt");
    test::TestData::write(text, bosFile(3));
    prompts.file(text);
    QTest::mouseClick(importPanel.loadButton(), Qt::LeftButton);
    QCOMPARE(prompts.take(), (QStringList{QStringLiteral("file BOS-Datei selektieren!"),
                                          QStringLiteral("file BOS-Datei selektieren!")}));
    QVERIFY(data.state->vehicles.at(0).Rufname.isEmpty());
    QCOMPARE(test::TestData::read(data.folder().vehiclesFile()).size(), 6000 * 4);

    // A folder named like a BOS file: the import's own message.
    const QString folder = data.folder().root() + QStringLiteral("/Ordner.BOS");
    QVERIFY(QDir().mkpath(folder));
    prompts.file(folder);
    QTest::mouseClick(importPanel.loadButton(), Qt::LeftButton);
    const QStringList shown = prompts.take();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown[1].startsWith(QStringLiteral("inform Achtung!: ")) &&
                 shown[1].contains(QStringLiteral("keine Datei")),
             qPrintable(shown[1]));

    // Fzg.txt that cannot be written after an import: shown.
    const QString path = data.folder().root() + QStringLiteral("/Kreis.BOS");
    test::TestData::write(path, bosFile(3));
    data.blockFile(data.folder().vehiclesFile());
    prompts.file(path);
    QTest::mouseClick(importPanel.loadButton(), Qt::LeftButton);
    QVERIFY2(prompts.take().last().contains(QStringLiteral("Fzg.txt")), "the failed write is not shown");
}

} // namespace tolvana

QTEST_MAIN(tolvana::BosImportTest)
#include "bos_import_test.moc"
