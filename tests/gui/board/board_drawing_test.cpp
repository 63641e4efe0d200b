// What the board shows: fields by Kennung length and status, the four board
// sizes with fields numbered down the columns, the page selectors, the
// detail panel, and the redraw of one field after an FMS reception.
#include <QPaintEvent>
#include <QTest>

#include "board_test_support.h"
#include "gui/board/detail_panel.h"
#include "gui/board/field_look.h"
#include "handoff/reception_handoff.h"

namespace tolvana {

namespace {

// The screen side of the hand-off, as the window wires it: a status change
// redraws the vehicle's field.
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

// Collects the rectangles the fields paint.
class PaintSpy final : public QObject {
public:
    explicit PaintSpy(QWidget* w) { w->installEventFilter(this); }
    QRegion painted;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(e)->region();
        }
        return false;
    }
};

TimePoint timeOf(const QDateTime& t) {
    return TimePoint(std::chrono::milliseconds(t.toMSecsSinceEpoch()));
}

FmsReception statusReport(const std::string& kennung, int status) {
    return FmsReception{FmsTelegram{kennung, 0, status, 0}, {}, true};
}

} // namespace

class BoardDrawingTest : public QObject {
    Q_OBJECT
private slots:
    void fieldsByKennungAndStatus_data();
    void fieldsByKennungAndStatus();
    void statusColoursAreTakenAtTheNextRedraw();
    void fourSizesNumberFieldsDownTheColumns_data();
    void fourSizesNumberFieldsDownTheColumns();
    void pageSelectorsStandInThreeRowsOfTen();
    void detailPanelFollowsThePointerAndTheKeyboard();
    void receptionOnEitherChannelRedrawsOnlyItsField();
};

void BoardDrawingTest::fieldsByKennungAndStatus_data() {
    QTest::addColumn<QString>("kennung");
    QTest::addColumn<QString>("rufname");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QColor>("colour");

    const auto& c = kDefaultStatusColours;
    const auto kind = [](FieldKind k) { return static_cast<int>(k); };
    QTest::newRow("FMS vehicle, status 3") << "62345678" << "RTW 1" << 3 << kind(FieldKind::Vehicle)
                                           << paintedColour(c[2]);
    QTest::newRow("FMS vehicle, status 8") << "6a345678" << "ELW" << 8 << kind(FieldKind::Vehicle)
                                           << paintedColour(c[7]);
    QTest::newRow("7 characters: named") << "6234567" << "KdoW" << 3 << kind(FieldKind::Named)
                                         << kFieldSilver;
    QTest::newRow("9 characters: named") << "623456789" << "MTW" << 3 << kind(FieldKind::Named)
                                         << kFieldSilver;
    QTest::newRow("heading") << "" << "Wache Nord" << 6 << kind(FieldKind::Named) << kFieldSilver;
    QTest::newRow("Kennung, no Rufname") << "62345678" << "" << 3 << kind(FieldKind::Vehicle)
                                << paintedColour(c[2]);
    QTest::newRow("free, no Kennung") << "" << "" << 3 << kind(FieldKind::Empty) << kFieldSilver;
    QTest::newRow("status 0: no colour") << "62345678" << "RTW 2" << 0
                                         << kind(FieldKind::VehicleWithoutColour) << kFieldLightGrey;
    QTest::newRow("status 12 from a file") << "62345678" << "RTW 3" << 12
                                           << kind(FieldKind::VehicleWithoutColour)
                                           << kFieldLightGrey;
}

void BoardDrawingTest::fieldsByKennungAndStatus() {
    QFETCH(QString, kennung);
    QFETCH(QString, rufname);
    QFETCH(int, status);
    QFETCH(int, kind);
    QFETCH(QColor, colour);

    test::TestData data;
    test::ScriptedPrompts prompts;
    // On page 1, field 21: column 1, row 1 of a 10 x 20 page.
    data.placeVehicle(200 + 21, rufname, kennung, status);
    VehicleBoard board(*data.state, prompts);
    test::showBoard(board);
    board.setCurrentPage(1);

    const FieldLook& look = board.fields()->look(21);
    QCOMPARE(static_cast<int>(look.kind), kind);
    QCOMPARE(look.text, look.kind == FieldKind::Empty ? QString() : rufname);
    QCOMPARE(test::screenColour(board, test::fillPointOf(board, 21)), colour);
    if (look.kind == FieldKind::VehicleWithoutColour) {
        // Hatched: the lines cross the field, so some pixels are darker.
        const QImage shot = board.fields()->grab().toImage();
        const QRect r = board.fields()->fieldRect(21).adjusted(2, 2, -2, -2);
        int hatch = 0;
        for (int x = r.left(); x < r.left() + 20; ++x) {
            hatch += shot.pixelColor(x, r.top() + 4) == kFieldHatch ? 1 : 0;
        }
        QVERIFY(hatch >= 2);
    }
    // The field beside it is free and silver.
    QCOMPARE(test::screenColour(board, test::fillPointOf(board, 22)), kFieldSilver);
}

void BoardDrawingTest::statusColoursAreTakenAtTheNextRedraw() {
    test::TestData data;
    test::ScriptedPrompts prompts;
    data.placeVehicle(0, QStringLiteral("RTW 1"), QStringLiteral("62345678"), 2);
    VehicleBoard board(*data.state, prompts);
    test::showBoard(board);
    QCOMPARE(test::screenColour(board, test::fillPointOf(board, 0)),
             paintedColour(kDefaultStatusColours[1]));

    data.state->settings.statusColours[1] = rgb(0, 0, 128); // dark blue: white text
    board.update_label();
    QCOMPARE(test::screenColour(board, test::fillPointOf(board, 0)), QColor(0, 0, 128));
    QCOMPARE(textColourOn(QColor(0, 0, 128)), QColor(Qt::white));
}

void BoardDrawingTest::fourSizesNumberFieldsDownTheColumns_data() {
    QTest::addColumn<int>("sizeIndex");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<bool>("bold");
    QTest::newRow("10 x 20") << 4 << 10 << 20 << 10 << false;
    QTest::newRow("0 is 10 x 20") << 0 << 10 << 20 << 10 << false;
    QTest::newRow("10 x 10") << 3 << 10 << 10 << 10 << true;
    QTest::newRow("5 x 20") << 2 << 5 << 20 << 10 << false;
    QTest::newRow("5 x 10") << 1 << 5 << 10 << 12 << true;
}

void BoardDrawingTest::fourSizesNumberFieldsDownTheColumns() {
    QFETCH(int, sizeIndex);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(int, pointSize);
    QFETCH(bool, bold);

    test::TestData data;
    test::ScriptedPrompts prompts;
    VehicleBoard board(*data.state, prompts);
    test::showBoard(board);

    // "speichern" with a new size: the table is sized anew, then the board redraws.
    data.state->settings.boardSizeIndex = sizeIndex;
    data.state->sizeVehicleTable();
    const int perPage = columns * rows;
    QCOMPARE(data.state->vehicles.size(), perPage * 30);
    // The last field of page 2 and the first of page 3.
    data.placeVehicle(3 * perPage - 1, QStringLiteral("letztes"), QStringLiteral("62000001"), 1);
    data.placeVehicle(3 * perPage, QStringLiteral("erstes"), QStringLiteral("62000002"), 1);
    board.update_label();
    board.setCurrentPage(2);

    BoardFields* f = board.fields();
    QCOMPARE(f->columns(), columns);
    QCOMPARE(f->rows(), rows);
    QCOMPARE(board.fieldsPerPage(), perPage);
    QCOMPARE(f->look(perPage - 1).text, QStringLiteral("letztes"));
    // Down the columns: field 1 below field 0, field `rows` beside it.
    QCOMPARE(f->fieldRect(1).left(), f->fieldRect(0).left());
    QVERIFY(f->fieldRect(1).top() > f->fieldRect(0).bottom());
    QCOMPARE(f->fieldRect(rows).top(), f->fieldRect(0).top());
    QVERIFY(f->fieldRect(rows).left() > f->fieldRect(0).right());
    // The last field in the bottom right corner, every field inside the fields.
    QVERIFY(f->rect().contains(f->fieldRect(perPage - 1)));
    QVERIFY(f->fieldRect(perPage - 1).right() > f->width() - f->width() / columns);
    QCOMPARE(f->fieldAt(test::centreOf(board, perPage - 1)), perPage - 1);

    board.setCurrentPage(3);
    QCOMPARE(f->look(0).text, QStringLiteral("erstes"));
    const QFont font = fieldFont(sizeIndex, board.font());
    QCOMPARE(font.pointSize(), pointSize);
    QCOMPARE(font.bold(), bold);

    // A call name of two lines is drawn whole: in a smaller font where the
    // field is too low for it (it lost the tops of its capitals and
    // umlauts), in the board's font where it fits.
    const QRect space = f->fieldRect(0).adjusted(3, 1, -3, -1);
    const auto needed = [&space](const QFont& drawn, const QString& text) {
        return QFontMetrics(drawn).boundingRect(space, Qt::AlignCenter | Qt::TextWordWrap, text).size();
    };
    const QString name = QStringLiteral("Rotkreuz Süd 1/83-1");
    const QFont fitted = fittedFieldFont(font, space, name);
    QVERIFY2(needed(fitted, name).height() <= space.height(),
             qPrintable(QStringLiteral("%1 px for %2 px").arg(needed(fitted, name).height()).arg(space.height())));
    QVERIFY(needed(fitted, name).width() <= space.width());
    QCOMPARE(fitted.pointSizeF() < font.pointSizeF(), needed(font, name).height() > space.height());
    QCOMPARE(fittedFieldFont(font, space, QStringLiteral("RTW")), font);
}

void BoardDrawingTest::pageSelectorsStandInThreeRowsOfTen() {
    test::TestData data;
    test::ScriptedPrompts prompts;
    data.state->stationNames.setName(0, QStringLiteral("Wache Nord"));
    data.state->stationNames.setName(29, QStringLiteral("Reserve"));
    VehicleBoard board(*data.state, prompts);
    test::showBoard(board);

    PageSelectors* s = board.pageSelectors();
    const auto at = [s](int page) {
        PageButton* b = s->button(page);
        return b->mapTo(s, QPoint(0, 0));
    };
    for (int page = 0; page < 30; ++page) {
        QCOMPARE(at(page).x(), at(page % 10).x());
        QCOMPARE(at(page).y(), at((page / 10) * 10).y());
    }
    QVERIFY(at(10).y() > at(0).y());
    QVERIFY(at(20).y() > at(10).y());
    QVERIFY(at(1).x() > at(0).x());
    // One tenth of the frame each, however long a name is.
    QVERIFY(qAbs(s->button(0)->width() - s->width() / 10) <= 4);
    QVERIFY(qAbs(s->button(3)->width() - s->button(0)->width()) <= 1);
    QCOMPARE(s->button(0)->name(), QStringLiteral("Wache Nord"));
    QCOMPARE(s->button(29)->name(), QStringLiteral("Reserve"));
    QVERIFY(s->button(0)->isChecked());
    QVERIFY(!s->button(1)->isChecked());

    // The left button chooses a page: its selector goes down, the others up.
    QTest::mouseClick(s->button(12), Qt::LeftButton);
    QCOMPARE(board.currentPage(), 12);
    QVERIFY(s->button(12)->isChecked());
    QVERIFY(!s->button(0)->isChecked());
}

void BoardDrawingTest::detailPanelFollowsThePointerAndTheKeyboard() {
    test::TestData data;
    test::ScriptedPrompts prompts;
    data.placeVehicle(3, QStringLiteral("RTW 1"), QStringLiteral("62345678"), 3);
    data.state->vehicles.entry(3).Tki = 2;
    data.state->vehicles.entry(3).Eigenschaft = QStringLiteral("Rettungswagen");
    data.state->vehicles.entry(3).Zeit = QStringLiteral("07.12. 15:52");
    VehicleBoard board(*data.state, prompts);
    test::showBoard(board);
    DetailPanel* panel = board.detailPanel();
    const auto values = [panel] {
        QStringList v;
        for (int i = 0; i < DetailPanel::kValues; ++i) {
            v.append(panel->value(i));
        }
        return v;
    };
    const QStringList rtw{QStringLiteral("RTW 1"), QStringLiteral("3"), QStringLiteral("2"),
                          QStringLiteral("Rettungswagen"), QStringLiteral("07.12. 15:52")};
    const QStringList blank(5, QString());

    QTest::mouseMove(board.fields(), test::centreOf(board, 3));
    QCOMPARE(values(), rtw);
    QCOMPARE(board.fields()->currentField(), 3);
    QTest::mouseMove(board.fields(), test::centreOf(board, 4));
    QCOMPARE(values(), blank);

    // A page change keeps the panel until the pointer moves again.
    QTest::mouseMove(board.fields(), test::centreOf(board, 3));
    board.setCurrentPage(1);
    QCOMPARE(values(), rtw);
    QTest::mouseMove(board.fields(), test::centreOf(board, 3) + QPoint(1, 0));
    QCOMPARE(values(), blank); // the same field on page 1 is free

    // Without a mouse: the arrow keys go down the column and across the rows.
    board.setCurrentPage(0);
    board.fields()->setFocus();
    board.fields()->setCurrentField(0);
    QTest::keyClick(board.fields(), Qt::Key_Down);
    QTest::keyClick(board.fields(), Qt::Key_Down);
    QCOMPARE(board.fields()->currentField(), 2);
    QTest::keyClick(board.fields(), Qt::Key_Down);
    QCOMPARE(values(), rtw);
    QTest::keyClick(board.fields(), Qt::Key_Right);
    QCOMPARE(board.fields()->currentField(), 23);
    QTest::keyClick(board.fields(), Qt::Key_Up);
    QCOMPARE(board.fields()->currentField(), 22);
    QTest::keyClick(board.fields(), Qt::Key_Left);
    QTest::keyClick(board.fields(), Qt::Key_Left);
    QCOMPARE(board.fields()->currentField(), 2); // stays in the first column
    QTest::keyClick(board.fields(), Qt::Key_End);
    QCOMPARE(board.fields()->currentField(), 199);
    QTest::keyClick(board.fields(), Qt::Key_Right);
    QCOMPARE(board.fields()->currentField(), 199);
    QTest::keyClick(board.fields(), Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(board.currentPage(), 1);
    QTest::keyClick(board.fields(), Qt::Key_PageUp, Qt::ControlModifier);
    QTest::keyClick(board.fields(), Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(board.currentPage(), 29);
}

void BoardDrawingTest::receptionOnEitherChannelRedrawsOnlyItsField() {
    test::TestData data;
    test::ScriptedPrompts prompts;
    data.placeVehicle(5, QStringLiteral("RTW 1"), QStringLiteral("62345678"));
    data.placeVehicle(205, QStringLiteral("LF 20"), QStringLiteral("62345679"));
    data.saveVehicles();
    data.restart();
    VehicleBoard board(*data.state, prompts);
    test::showBoard(board);
    BoardView view(board);
    ReceptionHandoff handoff(*data.state, view, HandoffOutputs{});
    QCoreApplication::processEvents();

    PaintSpy spy(board.fields());
    const quint64 paintedBefore = board.fields()->fieldsPainted();
    handoff.fmsReception(ChannelSide::Left, statusReport("62345678", 3), timeOf(test::testNow()));
    QCOMPARE(board.fields()->look(5).fill, paintedColour(kDefaultStatusColours[2]));
    QCoreApplication::processEvents();
    // Only that field (and the frame a focused or dragged field may have) was painted.
    QVERIFY(!spy.painted.isEmpty());
    const QRect field = board.fields()->fieldRect(5).adjusted(-2, -2, 2, 2);
    QVERIFY2(field.contains(spy.painted.boundingRect()), "more than the field was painted");
    QCOMPARE(board.fields()->fieldsPainted() - paintedBefore, quint64{1});
    QCOMPARE(test::screenColour(board, test::fillPointOf(board, 5)),
             paintedColour(kDefaultStatusColours[2]));

    // The right channel, a vehicle on another page: its status is kept and
    // shown when that page is chosen; this page is left alone.
    const FieldLook before = board.fields()->look(5);
    handoff.fmsReception(ChannelSide::Right, statusReport("62345679", 4), timeOf(test::testNow()));
    QCOMPARE(board.fields()->look(5), before);
    QCOMPARE(data.state->vehicles.at(205).Status, 4);
    board.setCurrentPage(1);
    QCOMPARE(board.fields()->look(5).fill, paintedColour(kDefaultStatusColours[3]));
    handoff.fmsReception(ChannelSide::Right, statusReport("62345679", 1), timeOf(test::testNow()));
    QCOMPARE(test::screenColour(board, test::fillPointOf(board, 5)),
             paintedColour(kDefaultStatusColours[0]));
    QVERIFY(view.problems.isEmpty());
}

} // namespace tolvana

QTEST_MAIN(tolvana::BoardDrawingTest)
#include "board_drawing_test.moc"
