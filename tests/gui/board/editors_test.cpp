// The vehicle editor opened on a board field, its buttons and the files
// they write; the call-name editor of the "Meldeempfänger" page.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "board_test_support.h"
#include "gui/board/call_name_editor.h"
#include "gui/board/vehicle_editor.h"

namespace tolvana {

class EditorsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void newEntryWithOnlyANameBecomesAHeading();
    void statusButtonSetsAndClosesTextIsLost();
    void tkiButtonKeepsTheEditorOpen();
    void keyboardOpensTheEditorAndBackChangesNothing();
    void pagersAddedAndRemoved();
    void failedSaveKeepsTheEditorOpenAndTheEntry();
    void callNamesNewChangeDelete();
    void callNameSaveFailureIsShownAndUndone();

private:
    VehicleEditor* openOn(int field);
    void type(int textField, const QString& text);

    std::unique_ptr<test::TestData> m_data;
    std::unique_ptr<test::ScriptedPrompts> m_prompts;
    std::unique_ptr<VehicleBoard> m_board;
};

void EditorsTest::init() {
    m_data = std::make_unique<test::TestData>();
    m_data->placeVehicle(2, QStringLiteral("RTW 1"), QStringLiteral("62345678"), 2);
    m_data->state->vehicles.entry(2).Eigenschaft = QStringLiteral("Rettungswagen");
    m_data->saveVehicles();
    test::TestData::write(m_data->folder().callAssignmentsFile(),
                          "62345678\t12345\tRTW 1\r\n"
                          "62345679\t12345\tLF 20\r\n"
                          "62345678\t1234567\tRTW 1\r\n");
    m_data->restart();
    m_prompts = std::make_unique<test::ScriptedPrompts>();
    m_board = std::make_unique<VehicleBoard>(*m_data->state, *m_prompts);
    m_board->setClock(test::testNow);
    test::showBoard(*m_board);
}

void EditorsTest::cleanup() {
    QVERIFY2(m_prompts->allAnswered(), "a scripted answer was not asked for");
    QVERIFY2(!m_prompts->journal.contains(QStringLiteral("UNANSWERED")),
             qPrintable(m_prompts->journal.join(u'\n')));
    m_board.reset();
    m_prompts.reset();
    m_data.reset();
}

VehicleEditor* EditorsTest::openOn(int field) {
    // The right button on a field, as the user opens it.
    QTest::mouseClick(m_board->fields(), Qt::RightButton, {}, test::centreOf(*m_board, field));
    VehicleEditor* editor = m_board->editor();
    if (editor != nullptr) {
        [[maybe_unused]] const bool shown = QTest::qWaitForWindowExposed(editor);
    }
    return editor;
}

void EditorsTest::type(int textField, const QString& text) {
    QLineEdit* edit = m_board->editor()->textField(textField);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void EditorsTest::newEntryWithOnlyANameBecomesAHeading() {
    VehicleEditor* editor = openOn(45); // column 2, row 5 of page 0
    QVERIFY(editor != nullptr);
    QVERIFY(editor->isModal());
    QCOMPARE(editor->windowTitle(), QStringLiteral("Eigenschaften"));
    QCOMPARE(editor->entry(), 45);
    QVERIFY(editor->isNewEntry());
    QVERIFY(!editor->textField(3)->isEnabled()); // "Bündelfunk-Rufnummer:" is kept nowhere
    type(0, QStringLiteral("Wache Nord"));
    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
    QTRY_VERIFY(m_board->editor() == nullptr);

    const Vehicle& v = m_data->state->vehicles.at(45);
    QCOMPARE(v, (Vehicle{{}, QStringLiteral("Wache Nord"), {}, 6, 0, QStringLiteral("07.12. 15:52")}));
    QCOMPARE(m_data->state->vehicles.lastUsedIndex(), 45);
    QCOMPARE(m_data->statusFile(45), QByteArray("6\t0\t07.12. 15:52\r\n"));
    const QList<QByteArray> lines =
        test::TestData::read(m_data->folder().vehiclesFile()).split('\n');
    QCOMPARE(lines[45], QByteArray("Wache Nord\t\t\r"));
    // Redrawn at once as a heading: grey, the name, no status colour.
    QCOMPARE(m_board->fields()->look(45).kind, FieldKind::Named);
    QCOMPARE(test::screenColour(*m_board, test::fillPointOf(*m_board, 45)), kFieldSilver);
}

void EditorsTest::statusButtonSetsAndClosesTextIsLost() {
    VehicleEditor* editor = openOn(2);
    QVERIFY(editor != nullptr);
    QVERIFY(!editor->isNewEntry());
    QCOMPARE(editor->textField(1)->text(), QStringLiteral("Rettungswagen"));
    // Each status button wears its status colour.
    const QImage button = editor->statusButton(2)->grab().toImage();
    QCOMPARE(button.pixelColor(4, button.height() / 2), paintedColour(kDefaultStatusColours[2]));

    type(0, QStringLiteral("RTW 99"));
    QTest::mouseClick(editor->statusButton(2), Qt::LeftButton); // "3"
    QTRY_VERIFY(m_board->editor() == nullptr);
    const Vehicle& v = m_data->state->vehicles.at(2);
    QCOMPARE(v.Status, 3);
    QCOMPARE(v.Zeit, QStringLiteral("07.12. 15:52"));
    QCOMPARE(v.Rufname, QStringLiteral("RTW 1"));
    QCOMPARE(m_data->statusFile(2), QByteArray("3\t0\t07.12. 15:52\r\n"));
    QCOMPARE(test::screenColour(*m_board, test::fillPointOf(*m_board, 2)),
             paintedColour(kDefaultStatusColours[2]));
}

void EditorsTest::tkiButtonKeepsTheEditorOpen() {
    VehicleEditor* editor = openOn(2);
    QVERIFY(editor != nullptr);
    QTest::mouseClick(editor->tkiButton(3), Qt::LeftButton);
    QCOMPARE(m_board->editor(), editor);
    QCOMPARE(m_data->state->vehicles.at(2).Tki, 3);
    QCOMPARE(m_data->statusFile(2), QByteArray("6\t3\t07.12. 15:52\r\n"));
    QTest::mouseClick(editor->backButton(), Qt::LeftButton);
    QTRY_VERIFY(m_board->editor() == nullptr);
}

void EditorsTest::keyboardOpensTheEditorAndBackChangesNothing() {
    m_board->fields()->setFocus();
    m_board->fields()->setCurrentField(0);
    QTest::keyClick(m_board->fields(), Qt::Key_Down);
    QTest::keyClick(m_board->fields(), Qt::Key_Down);
    QTest::keyClick(m_board->fields(), Qt::Key_Return);
    VehicleEditor* editor = m_board->editor();
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->entry(), 2);
    // A second request while it is open opens no second editor.
    m_board->openEditor(5);
    QCOMPARE(m_board->editor(), editor);

    const QByteArray before = test::TestData::read(m_data->folder().vehiclesFile());
    type(0, QStringLiteral("anders"));
    QTest::keyClick(editor, Qt::Key_Escape); // "zurück"
    QTRY_VERIFY(m_board->editor() == nullptr);
    QCOMPARE(m_data->state->vehicles.at(2).Rufname, QStringLiteral("RTW 1"));
    QCOMPARE(test::TestData::read(m_data->folder().vehiclesFile()), before);
}

void EditorsTest::pagersAddedAndRemoved() {
    VehicleEditor* editor = openOn(2);
    QVERIFY(editor != nullptr);
    const auto items = [editor] {
        QStringList l;
        for (int i = 0; i < editor->pagerList()->count(); ++i) {
            l.append(editor->pagerList()->item(i)->text());
        }
        return l;
    };
    QCOMPARE(items(), (QStringList{QStringLiteral("12345"), QStringLiteral("1234567")}));

    m_prompts->text(QStringLiteral("1234"));
    QTest::mouseClick(editor->newPagerButton(), Qt::LeftButton);
    m_prompts->text(QStringLiteral("23456"));
    QTest::mouseClick(editor->newPagerButton(), Qt::LeftButton);
    QCOMPARE(m_prompts->take(),
             (QStringList{QStringLiteral("askText tolvana: 5-Tonfolge/RIC eingeben: []"),
                          QStringLiteral("inform tolvana: falsche L\u00E4nge: 4 Zeichen"),
                          QStringLiteral("askText tolvana: 5-Tonfolge/RIC eingeben: []")}));
    QCOMPARE(items().last(), QStringLiteral("23456"));
    QCOMPARE(test::TestData::read(m_data->folder().callAssignmentsFile()),
             QByteArray("62345678\t12345\tRTW 1\r\n62345679\t12345\tLF 20\r\n"
                        "62345678\t1234567\tRTW 1\r\n62345678\t23456\tRTW 1\r\n"));

    // Delete 12345 from this vehicle only: LF 20 keeps its pager.
    editor->pagerList()->setCurrentRow(0);
    m_prompts->yes();
    QTest::mouseClick(editor->deletePagerButton(), Qt::LeftButton);
    QCOMPARE(m_prompts->take(), QStringList{QStringLiteral("ask tolvana: Eintrag entfernen ")});
    QCOMPARE(items(), (QStringList{QStringLiteral("1234567"), QStringLiteral("23456")}));
    QCOMPARE(test::TestData::read(m_data->folder().callAssignmentsFile()),
             QByteArray("62345679\t12345\tLF 20\r\n62345678\t1234567\tRTW 1\r\n"
                        "62345678\t23456\tRTW 1\r\n"));
    // Answered No: nothing goes.
    editor->pagerList()->setCurrentRow(0);
    m_prompts->no();
    QTest::mouseClick(editor->deletePagerButton(), Qt::LeftButton);
    QCOMPARE(items().size(), 2);

    // A 7-character identity takes no pager.
    type(2, QStringLiteral("6234567"));
    QTest::mouseClick(editor->newPagerButton(), Qt::LeftButton);
    QCOMPARE(m_prompts->take().last(),
             QStringLiteral("inform tolvana: Erst einen Rufnamen und eine FMS-Kenung eingeben!"));
    QTest::mouseClick(editor->backButton(), Qt::LeftButton);
}

void EditorsTest::failedSaveKeepsTheEditorOpenAndTheEntry() {
    VehicleEditor* editor = openOn(2);
    QVERIFY(editor != nullptr);
    m_data->blockFile(m_data->folder().vehiclesFile());
    type(0, QStringLiteral("RTW 2"));
    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
    const QStringList shown = m_prompts->take();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith(QStringLiteral("inform Achtung!: ")), qPrintable(shown[0]));
    QCOMPARE(m_board->editor(), editor);
    QCOMPARE(m_data->state->vehicles.at(2).Rufname, QStringLiteral("RTW 1"));
    QCOMPARE(editor->textField(0)->text(), QStringLiteral("RTW 2"));

    // Once the file can be written again, the same press keeps it.
    QVERIFY(QDir(m_data->folder().vehiclesFile()).removeRecursively());
    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
    QTRY_VERIFY(m_board->editor() == nullptr);
    QCOMPARE(m_data->state->vehicles.at(2).Rufname, QStringLiteral("RTW 2"));
    QCOMPARE(m_board->fields()->look(2).text, QStringLiteral("RTW 2"));
}

void EditorsTest::callNamesNewChangeDelete() {
    test::TestData::write(m_data->folder().callNamesFile(), "12345\tFF Musterstadt\t255\r\n");
    m_board.reset(); // it holds the state that the restart replaces
    m_data->restart();
    CallNameEditor editor(*m_data->state, *m_prompts);
    editor.resize(600, 400);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QCOMPARE(editor.model()->rowCount(), 1);
    QVERIFY(editor.grid()->isColumnHidden(CallNameModel::ColourColumn));
    QCOMPARE(editor.model()->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
    const QString zvei = m_data->folder().callNamesFile();

    // "neu": number, name, colour.
    m_prompts->text(QStringLiteral("1234567"));
    m_prompts->text(QStringLiteral("Wehrf\u00FChrer"));
    m_prompts->colour(rgb(0, 128, 0));
    QTest::mouseClick(editor.newButton(), Qt::LeftButton);
    QCOMPARE(test::TestData::read(zvei),
             QByteArray("12345\tFF Musterstadt\t255\r\n1234567\tWehrf\xFChrer\t32768\r\n"));
    QCOMPARE(m_data->state->callNames.at(1).Farbe, rgb(0, 128, 0));
    // A wrong length ends without a change, and the file is written all the same.
    QFile::remove(zvei);
    m_prompts->text(QStringLiteral("123"));
    QTest::mouseClick(editor.newButton(), Qt::LeftButton);
    QCOMPARE(editor.model()->rowCount(), 2);
    QCOMPARE(test::TestData::read(zvei).count('\n'), 2);
    m_prompts->take();

    // "ändern" with no row chosen does nothing but write the file.
    editor.grid()->setCurrentIndex(QModelIndex());
    QTest::mouseClick(editor.changeButton(), Qt::LeftButton);
    QCOMPARE(m_prompts->take(), QStringList{});
    // On row 2, each prompt preset with the row's values; the colour cancelled keeps it.
    editor.grid()->setCurrentIndex(editor.model()->index(1, 1));
    m_prompts->text(QStringLiteral("7654321"));
    m_prompts->text(QStringLiteral("Kreisbrandmeister"));
    m_prompts->cancelColour();
    QTest::mouseClick(editor.changeButton(), Qt::LeftButton);
    QCOMPARE(m_prompts->take(),
             (QStringList{QStringLiteral("askText \u00C4ndern: 5- bzw 7-stellige Numer: [1234567]"),
                          QStringLiteral("askText \u00C4ndern: Name des Tr\u00E4gers: [Wehrf\u00FChrer]"),
                          QStringLiteral("colour 32768")}));
    QCOMPARE(test::TestData::read(zvei),
             QByteArray("12345\tFF Musterstadt\t255\r\n7654321\tKreisbrandmeister\t32768\r\n"));

    // "löschen": No still writes the file unchanged; Yes removes the row,
    // and the last row too, which leaves no file.
    editor.grid()->setCurrentIndex(editor.model()->index(0, 0));
    QFile::remove(zvei);
    m_prompts->no();
    QTest::mouseClick(editor.deleteButton(), Qt::LeftButton);
    QCOMPARE(test::TestData::read(zvei),
             QByteArray("12345\tFF Musterstadt\t255\r\n7654321\tKreisbrandmeister\t32768\r\n"));
    m_prompts->yes();
    QTest::mouseClick(editor.deleteButton(), Qt::LeftButton);
    QCOMPARE(m_prompts->take(),
             (QStringList{QStringLiteral("ask tolvana: Eintrag <12345> l\u00F6schen ?"),
                          QStringLiteral("ask tolvana: Eintrag <12345> l\u00F6schen ?")}));
    QCOMPARE(test::TestData::read(zvei), QByteArray("7654321\tKreisbrandmeister\t32768\r\n"));
    editor.grid()->setCurrentIndex(editor.model()->index(0, 0));
    m_prompts->yes();
    QTest::mouseClick(editor.deleteButton(), Qt::LeftButton);
    QCOMPARE(editor.model()->rowCount(), 0);
    QVERIFY(!QFile::exists(zvei));
    m_prompts->take();
}

void EditorsTest::callNameSaveFailureIsShownAndUndone() {
    CallNameEditor editor(*m_data->state, *m_prompts);
    m_data->blockFile(m_data->folder().callNamesFile());
    m_prompts->text(QStringLiteral("12345"));
    m_prompts->text(QStringLiteral("Florian 1"));
    m_prompts->colour(rgb(255, 255, 0));
    QTest::mouseClick(editor.newButton(), Qt::LeftButton);
    QVERIFY2(m_prompts->take().last().startsWith(QStringLiteral("inform Achtung!: ")),
             "the failed write is not shown");
    QCOMPARE(m_data->state->callNames.callNameCount(), 0);
    QCOMPARE(editor.model()->rowCount(), 0);
}

} // namespace tolvana

QTEST_MAIN(tolvana::EditorsTest)
#include "editors_test.moc"
