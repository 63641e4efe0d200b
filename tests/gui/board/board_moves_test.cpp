// Moving vehicles by drag and drop between fields and onto page selectors,
// with the statuses and files a move leaves, the three refusals and the
// question; page change and rename; one status for all.
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "board_test_support.h"
#include "gui/board/board_actions.h"
#include "gui/board/board_settings_pages.h"
#include "handoff/reception_handoff.h"
#include "records/text_codec.h"

namespace tolvana {

namespace {

const QString kTitle = QStringLiteral("tolvana");
const QString kAsk = QStringLiteral("ask tolvana: Fahrzeug nach hier verschieben ?");

class BoardView final : public ReceptionView {
public:
    explicit BoardView(VehicleBoard& board) : m_board(board) {}
    void vehicleChanged(int index) override { m_board.vehicleChanged(index); }
    void fmsHandedOn(ChannelSide, const FmsReception&, const Vehicle*, TimePoint) override {}
    void toneCallShown(ChannelSide, ToneCall, TimePoint) override {}
    void zveiHandedOn(ChannelSide, const ZveiCall&) override {}
    void pocsagHandedOn(ChannelSide, const PocsagMessage&) override {}
    void reportProblem(const QString& message) override { problems.append(message); }
    QStringList problems;

private:
    VehicleBoard& m_board;
};

QByteArray fzgLines(const QList<std::pair<int, QByteArray>>& lines, int size = 6000) {
    QList<QByteArray> all(size, QByteArray("\t\t"));
    for (const auto& [index, line] : lines) {
        all[index] = line;
    }
    return all.join("\r\n") + "\r\n";
}

} // namespace

class BoardMovesTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void moveBetweenFieldsLeavesStatusFiveAndTheFiles();
    void dropOnItselfOrAnsweredNoMovesNothing();
    void refusals();
    void moveToAnotherPageOffersItsEmptyFieldsInOrder();
    void movedVehicleStillReceivesItsStatus();
    void pageChangeAndRename();
    void failedSavesAreShownAndUndone();
    void statusForAllReachesEveryEntry();

private:
    std::unique_ptr<test::TestData> m_data;
    std::unique_ptr<test::ScriptedPrompts> m_prompts;
    std::unique_ptr<VehicleBoard> m_board;
};

void BoardMovesTest::init() {
    m_data = std::make_unique<test::TestData>();
    // Page 0: RTW 1 in field 0, a heading in field 1, LF 20 in field 3.
    m_data->placeVehicle(0, QStringLiteral("RTW 1"), QStringLiteral("62345678"));
    test::TestData::write(m_data->folder().statusFile(0), "3\t2\t06.12. 10:00\r\n");
    m_data->placeVehicle(1, QStringLiteral("Wache Nord"), QString());
    m_data->placeVehicle(3, QStringLiteral("LF 20"), QStringLiteral("62345679"), 2);
    m_data->saveVehicles();
    m_data->restart();
    m_prompts = std::make_unique<test::ScriptedPrompts>();
    m_board = std::make_unique<VehicleBoard>(*m_data->state, *m_prompts);
    m_board->setClock(test::testNow);
    test::showBoard(*m_board);
}

void BoardMovesTest::cleanup() {
    QVERIFY2(m_prompts->allAnswered(), "a scripted answer was not asked for");
    QVERIFY2(!m_prompts->journal.contains(QStringLiteral("UNANSWERED")),
             qPrintable(m_prompts->journal.join(u'\n')));
    m_board.reset();
    m_prompts.reset();
    m_data.reset();
}

void BoardMovesTest::moveBetweenFieldsLeavesStatusFiveAndTheFiles() {
    const Vehicle rtw = m_data->state->vehicles.at(0);
    m_prompts->yes();
    test::dragToField(*m_board, 0, 25);
    QCOMPARE(m_prompts->take(), QStringList{kAsk});

    const VehicleTable& t = m_data->state->vehicles;
    QCOMPARE(t.at(25).Rufname, QStringLiteral("RTW 1"));
    QCOMPARE(t.at(25), rtw);
    QCOMPARE(t.at(0), (Vehicle{{}, {}, {}, 5, 0, QStringLiteral("07.12.2026 15:52:42")}));
    // The board shows it at once.
    QCOMPARE(m_board->fields()->look(25).text, QStringLiteral("RTW 1"));
    QCOMPARE(m_board->fields()->look(0).kind, FieldKind::Empty);
    // Fzg.txt and both status files.
    QCOMPARE(test::TestData::read(m_data->folder().vehiclesFile()),
             fzgLines({{1, "Wache Nord\t\t"}, {3, "LF 20\t\t62345679"}, {25, "RTW 1\t\t62345678"}}));
    QCOMPARE(m_data->statusFile(0), QByteArray("5\t0\t07.12.2026 15:52:42\r\n"));
    QCOMPARE(m_data->statusFile(25), QByteArray("3\t2\t06.12. 10:00\r\n"));

    // After a restart everything is where it was left.
    m_data->restart();
    QCOMPARE(m_data->state->vehicles.at(25).Rufname, QStringLiteral("RTW 1"));
    QCOMPARE(m_data->state->vehicles.at(0).Status, 5);
}

void BoardMovesTest::dropOnItselfOrAnsweredNoMovesNothing() {
    const QByteArray before = test::TestData::read(m_data->folder().vehiclesFile());
    test::dragToField(*m_board, 0, 0); // a plain click
    QCOMPARE(m_prompts->take(), QStringList{});
    m_prompts->no();
    test::dragToField(*m_board, 0, 7);
    QCOMPARE(m_prompts->take(), QStringList{kAsk});
    QCOMPARE(m_data->state->vehicles.at(0).Rufname, QStringLiteral("RTW 1"));
    QVERIFY(m_data->state->vehicles.at(7).Rufname.isEmpty());
    QCOMPARE(test::TestData::read(m_data->folder().vehiclesFile()), before);
    QCOMPARE(m_data->statusFile(0), QByteArray("3\t2\t06.12. 10:00\r\n"));
    QVERIFY(!m_board->fields()->isDragging());
}

void BoardMovesTest::refusals() {
    const QByteArray before = test::TestData::read(m_data->folder().vehiclesFile());
    // Onto an occupied field, even from a free one.
    test::dragToField(*m_board, 0, 3);
    test::dragToField(*m_board, 9, 3);
    // A free field cannot be moved, to a field or to a page.
    test::dragToField(*m_board, 9, 10);
    test::dragToPage(*m_board, 9, 4);
    // Nor can a vehicle go to the page it is on.
    test::dragToPage(*m_board, 0, 0);
    QCOMPARE(m_prompts->take(),
             (QStringList{QStringLiteral("inform tolvana: Feld ist besetzt"),
                          QStringLiteral("inform tolvana: Feld ist besetzt"),
                          QStringLiteral("inform tolvana: Leeres Feld kann nicht verschoben werden"),
                          QStringLiteral("inform tolvana: Leeres Feld kann nicht verschoben werden"),
                          QStringLiteral("inform tolvana: Verschieben in gleiche Ebene nicht m\u00F6glich")}));
    QCOMPARE(test::TestData::read(m_data->folder().vehiclesFile()), before);
    QCOMPARE(m_data->state->vehicles.at(0).Rufname, QStringLiteral("RTW 1"));
    QCOMPARE(m_data->state->vehicles.at(3).Rufname, QStringLiteral("LF 20"));
    // Let go outside fields and selectors: nothing at all.
    QTest::mousePress(m_board->fields(), Qt::LeftButton, {}, test::centreOf(*m_board, 0));
    QTest::mouseRelease(m_board->fields(), Qt::LeftButton, {}, QPoint(-50, -50));
    QCOMPARE(m_prompts->take(), QStringList{});
}

void BoardMovesTest::moveToAnotherPageOffersItsEmptyFieldsInOrder() {
    // Page 2 (entries 400..599): fields 0 and 1 taken.
    m_data->placeVehicle(400, QStringLiteral("HLF"), QStringLiteral("62000400"));
    m_data->placeVehicle(401, QStringLiteral("DLK"), QStringLiteral("62000401"));
    m_data->state->stationNames.setName(2, QStringLiteral("Wache S\u00FCd"));

    // No to every free field: nothing moves, nothing is said.
    for (int i = 0; i < 198; ++i) {
        m_prompts->no();
    }
    test::dragToPage(*m_board, 0, 2);
    const QStringList asked = m_prompts->take();
    QCOMPARE(asked.size(), 198);
    QCOMPARE(asked.front(), QStringLiteral("ask Wache S\u00FCd, Feld 3: Fahrzeug nach hier verschieben ?"));
    QCOMPARE(asked.back(), QStringLiteral("ask Wache S\u00FCd, Feld 200: Fahrzeug nach hier verschieben ?"));
    QCOMPARE(m_data->state->vehicles.at(0).Rufname, QStringLiteral("RTW 1"));

    // No to field 3, yes to field 4: the vehicle lands on entry 403.
    m_prompts->no();
    m_prompts->yes();
    test::dragToPage(*m_board, 0, 2);
    QCOMPARE(m_prompts->take().size(), 2);
    const VehicleTable& t = m_data->state->vehicles;
    QCOMPARE(t.at(403).Rufname, QStringLiteral("RTW 1"));
    QCOMPARE(t.at(403).Status, 3);
    QCOMPARE(t.at(403).Tki, 2);
    QCOMPARE(t.at(403).Zeit, QStringLiteral("06.12. 10:00"));
    QVERIFY(t.at(402).Rufname.isEmpty());
    QCOMPARE(t.at(0), (Vehicle{{}, {}, {}, 6, 0, QStringLiteral("07.12. 15:52")}));
    QCOMPARE(m_data->statusFile(0), QByteArray("6\t0\t07.12. 15:52\r\n"));
    QCOMPARE(m_data->statusFile(403), QByteArray("3\t2\t06.12. 10:00\r\n"));
    QCOMPARE(m_board->currentPage(), 0);
    QCOMPARE(m_board->fields()->look(0).kind, FieldKind::Empty);
    m_board->setCurrentPage(2);
    QCOMPARE(m_board->fields()->look(3).text, QStringLiteral("RTW 1"));
}

void BoardMovesTest::movedVehicleStillReceivesItsStatus() {
    // Only entries 0..3 are in use: a status is looked for up to lastUsedIndex.
    QCOMPARE(m_data->state->vehicles.lastUsedIndex(), 3);
    m_prompts->yes();
    test::dragToPage(*m_board, 3, 29); // LF 20 to entry 5800
    QCOMPARE(m_data->state->vehicles.at(5800).Rufname, QStringLiteral("LF 20"));
    m_board->setCurrentPage(29);

    BoardView view(*m_board);
    ReceptionHandoff handoff(*m_data->state, view, HandoffOutputs{});
    const QDateTime later = test::testNow().addSecs(60);
    handoff.fmsReception(ChannelSide::Right,
                         FmsReception{FmsTelegram{"62345679", 1, 4, 0}, {}, true},
                         TimePoint(std::chrono::milliseconds(later.toMSecsSinceEpoch())));
    QCOMPARE(m_data->state->vehicles.at(5800).Status, 4);
    QCOMPARE(m_data->statusFile(5800), QByteArray("4\t1\t07.12. 15:53\r\n"));
    QCOMPARE(m_board->fields()->look(0).fill, paintedColour(kDefaultStatusColours[3]));
    QVERIFY(view.problems.isEmpty());
    m_prompts->take();
}

void BoardMovesTest::pageChangeAndRename() {
    PageSelectors* s = m_board->pageSelectors();
    QSignalSpy changed(m_board.get(), &VehicleBoard::currentPageChanged);
    QTest::mousePress(s->button(4), Qt::LeftButton);
    QTest::mouseRelease(s->button(4), Qt::LeftButton);
    QCOMPARE(m_board->currentPage(), 4);
    QCOMPARE(changed.count(), 1);
    QVERIFY(s->button(4)->isChecked());
    QVERIFY(!s->button(0)->isChecked());

    // Any other button renames, without changing the page.
    m_prompts->text(QStringLiteral("Wache S\u00FCd"));
    QTest::mouseClick(s->button(7), Qt::RightButton);
    QCOMPARE(m_board->currentPage(), 4);
    QCOMPARE(s->button(7)->name(), QStringLiteral("Wache S\u00FCd"));
    QCOMPARE(test::TestData::read(m_data->folder().stationNamesFile()),
             QByteArray("\r\n").repeated(7) + "Wache S\xFC" "d\r\n" +
                 QByteArray("\r\n").repeated(22));
    // An empty answer and a cancelled box change nothing.
    m_prompts->text(QString());
    QTest::mouseClick(s->button(7), Qt::RightButton);
    m_prompts->cancelText();
    QTest::mouseClick(s->button(7), Qt::MiddleButton);
    QCOMPARE(s->button(7)->name(), QStringLiteral("Wache S\u00FCd"));
    const QString preset = QStringLiteral("askText tolvana: Neuen Namen eingeben: [Wache S\u00FCd]");
    QCOMPARE(m_prompts->take(),
             (QStringList{QStringLiteral("askText tolvana: Neuen Namen eingeben: []"), preset,
                          preset}));

    // With the keyboard: Space chooses, F2 renames.
    s->button(9)->setFocus();
    QTest::keyClick(s->button(9), Qt::Key_Space);
    QCOMPARE(m_board->currentPage(), 9);
    m_prompts->text(QStringLiteral("Reserve"));
    QTest::keyClick(s->button(9), Qt::Key_F2);
    QCOMPARE(m_data->state->stationNames.name(9), QStringLiteral("Reserve"));
    m_prompts->take();

    m_data->restart();
    QCOMPARE(m_data->state->stationNames.name(7), QStringLiteral("Wache S\u00FCd"));
    QCOMPARE(m_data->state->stationNames.name(9), QStringLiteral("Reserve"));
}

void BoardMovesTest::failedSavesAreShownAndUndone() {
    // Fzg.txt cannot be replaced: the move is shown as failed and undone.
    m_data->blockFile(m_data->folder().vehiclesFile());
    m_prompts->yes();
    test::dragToField(*m_board, 0, 9);
    const QStringList shown = m_prompts->take();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown[1].startsWith(QStringLiteral("inform Achtung!: ")) &&
                 shown[1].contains(QStringLiteral("Fzg.txt")),
             qPrintable(shown[1]));
    QCOMPARE(m_data->state->vehicles.at(0).Rufname, QStringLiteral("RTW 1"));
    QVERIFY(m_data->state->vehicles.at(9).Rufname.isEmpty());
    QCOMPARE(m_data->state->vehicles.lastUsedIndex(), 3);
    QCOMPARE(m_board->fields()->look(0).text, QStringLiteral("RTW 1"));
    QCOMPARE(m_board->fields()->look(9).kind, FieldKind::Empty);
    QCOMPARE(m_data->statusFile(0), QByteArray("3\t2\t06.12. 10:00\r\n"));

    // Wachen.txt cannot be replaced: the old name stays.
    m_data->blockFile(m_data->folder().stationNamesFile());
    m_prompts->text(QStringLiteral("Wache Ost"));
    QTest::mouseClick(m_board->pageSelectors()->button(5), Qt::RightButton);
    QCOMPARE(m_prompts->take().last().left(17), QStringLiteral("inform Achtung!: "));
    QCOMPARE(m_data->state->stationNames.name(5), QString());
    QCOMPARE(m_board->pageSelectors()->button(5)->name(), QString());
}

void BoardMovesTest::statusForAllReachesEveryEntry() {
    StatusForAllPanel panel(*m_data->state, *m_prompts);
    panel.setClock(test::testNow);
    connect(&panel, &StatusForAllPanel::vehiclesChanged, m_board.get(), &VehicleBoard::update_label);
    m_board->setCurrentPage(0);

    QTest::mouseClick(panel.button(8), Qt::LeftButton); // "9"
    const VehicleTable& t = m_data->state->vehicles;
    for (int i = 0; i < t.size(); ++i) {
        QCOMPARE(t.at(i).Status, 9);
    }
    // Only named entries get a file, with the time of the press; the entries keep their Zeit.
    QCOMPARE(m_data->statusFile(0), QByteArray("9\t2\t07.12. 15:52\r\n"));
    QCOMPARE(m_data->statusFile(1), QByteArray("9\t0\t07.12. 15:52\r\n"));
    QCOMPARE(m_data->statusFile(3), QByteArray("9\t0\t07.12. 15:52\r\n"));
    QCOMPARE(m_data->statusFile(2), QByteArray("<missing>"));
    QCOMPARE(QDir(m_data->folder().statusDir()).entryList(QDir::Files).size(), 3);
    QCOMPARE(t.at(0).Zeit, QStringLiteral("06.12. 10:00"));
    QCOMPARE(test::screenColour(*m_board, test::fillPointOf(*m_board, 0)),
             paintedColour(kDefaultStatusColours[8]));
    QCOMPARE(m_prompts->take(), QStringList{});

    // The progress the panel shows: how many of the named entries are written.
    for (int i = 100; i < 160; ++i) {
        m_data->placeVehicle(i, QStringLiteral("KTW %1").arg(i), QStringLiteral("62001%1").arg(i));
    }
    QList<std::pair<int, int>> steps;
    QVERIFY(setStatusForAll(*m_data->state, 2, test::testNow(),
                            [&steps](int done, int total) { steps.append({done, total}); })
                .ok());
    QCOMPARE(steps, (QList<std::pair<int, int>>{{25, 63}, {50, 63}, {63, 63}}));

    // A status folder that cannot be written: one message for all files.
    QVERIFY(QDir(m_data->folder().statusDir()).removeRecursively());
    test::TestData::write(m_data->folder().statusDir(), "a file, not a folder");
    QTest::mouseClick(panel.button(0), Qt::LeftButton);
    const QStringList shown = m_prompts->take();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains(QStringLiteral("62 weitere Statusdateien")), qPrintable(shown[0]));
    QCOMPARE(t.at(3).Status, 1);
}

} // namespace tolvana

QTEST_MAIN(tolvana::BoardMovesTest)
#include "board_moves_test.moc"
