// The window as a user meets it: started on an empty or a prepared data
// folder, its options changed on the settings pages and saved with
// "speichern", started again. Driven with mouse clicks and typing.
#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "gui/alert_list_view.h"
#include "gui/capture_controller.h"
#include "gui/captions.h"
#include "gui/colour_field.h"
#include "gui/colours.h"
#include "gui/filter_page.h"
#include "gui/lists_tab.h"
#include "gui/monitor_bar.h"
#include "gui/settings_pages.h"
#include "records/german_time.h"
#include "window_rig.h"

namespace tolvana::gui::test {

namespace {

/// A click where a user aims: on the box of a check box or option button
/// (which may stand far left of the middle of a wide one), the middle of
/// anything else.
void click(QWidget* widget) {
    QVERIFY(widget->isEnabled());
    QPoint at = widget->rect().center();
    if (qobject_cast<QCheckBox*>(widget) != nullptr || qobject_cast<QRadioButton*>(widget) != nullptr) {
        at.setX(8);
    }
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
}

/// Replaces a line edit's text as a user does: select all, type.
void retype(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

void showPage(WindowRig& rig, SettingsPage page) {
    rig.window().tabs()->setCurrentIndex(MainWindow::SettingsTabIndex);
    QListWidget* list = rig.window().settingsTab()->pageList();
    QListWidgetItem* item = list->item(static_cast<int>(page));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    QCOMPARE(rig.window().settingsTab()->currentPage(), static_cast<int>(page));
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void emptyFolderOpensWithEveryTabPageAndControl();
    void speichernWritesThirtyLinesThatARestartShowsAgain();
    void storedBoardSizeZeroShowsTheLargestAndIsSavedAsFour();
    void portFieldKeepsToThe31000Limit_data();
    void portFieldKeepsToThe31000Limit();
    void failedSaveIsShownAndTheButtonStaysRed();
    void gridsAreArrangedByTheEnabledDecoders_data();
    void gridsAreArrangedByTheEnabledDecoders();
    void boardSizeChangeStopsReplayAndReloadsTheVehicles();
    void preparedFolderFillsGridsFiltersAndTables();
    void filterEntriesAreAddedAndRemovedOnTheFilterPage();
    void searchFillsTheActionProgramAndCancelKeepsIt();
    void alertListEntriesGoByMousePressAndByAge();
    void startThatCannotOpenSaysWhyAndStaysIdle_data();
    void startThatCannotOpenSaysWhyAndStaysIdle();

private:
    QString root() const { return m_dir->path(); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void WindowTest::emptyFolderOpensWithEveryTabPageAndControl() {
    WindowRig rig(root());
    rig.startUp();
    MainWindow& w = rig.window();

    QCOMPARE(w.tabs()->count(), 3);
    QCOMPARE(w.tabs()->tabText(0), QStringLiteral("Listenansicht"));
    QCOMPARE(w.tabs()->tabText(1), QStringLiteral("Fahrzeugansicht"));
    QCOMPARE(w.tabs()->tabText(2), QStringLiteral("Einstellungen"));
    QCOMPARE(w.tabs()->currentIndex(), 0);

    QListWidget* pages = w.settingsTab()->pageList();
    QStringList names;
    for (int i = 0; i < pages->count(); ++i) {
        names.append(pages->item(i)->text());
    }
    QCOMPARE(names, (QStringList{"Soundkarte", "Meldeempfänger (ZVEI/POCSAG)", "Fzge importieren", "Aktionen",
                                 "Status für alle setzen", "Fahrzeugansicht", "FMS-Statusfarben", "HTML-Export",
                                 "eigene Anwendung per Winsock", "eigene Anwendung per Win-Messages", "Filter",
                                 "Info", "MQTT"}));
    QCOMPARE(w.settingsTab()->currentPage(), 0);
    QCOMPARE(w.settingsTab()->pageTitle()->text(), QStringLiteral("Soundkarte"));
    showPage(rig, SettingsPage::Filter);
    QCOMPARE(w.settingsTab()->pageTitle()->text(), QStringLiteral("Filter"));

    // Without Mon.ini every switch is off and the board is 10 x 20.
    for (int i = 0; i < 6; ++i) {
        QVERIFY(!rig.find<QCheckBox>(QStringLiteral("Check5_%1").arg(i))->isChecked());
    }
    QVERIFY(rig.find<QRadioButton>("Option2_4")->isChecked());
    QCOMPARE(rig.find<QLabel>("BoardTotal")->text(), QStringLiteral("6000"));
    QCOMPARE(rig.state().vehicles.size(), 6000);
    QVERIFY(rig.find<QRadioButton>("Option1_0")->isChecked());
    QCOMPARE(rig.find<QLineEdit>("Text4")->text(), QStringLiteral("0"));
    QCOMPARE(rig.find<ColourField>("Label2_0")->colour(), rgb(192, 255, 192));
    QCOMPARE(rig.find<ColourField>("Label2_7")->colour(), rgb(255, 0, 255));
    QVERIFY(!w.settingsTab()->unsaved());

    // Above the tabs.
    MonitorBar* bar = w.bar();
    QCOMPARE(bar->startButton()->text(), QStringLiteral("Start"));
    QCOMPARE(bar->stopButton()->text(), QStringLiteral("stop"));
    QVERIFY(bar->startButton()->isEnabled());
    QVERIFY(!bar->stopButton()->isEnabled());
    QCOMPARE(paintedColour(bar->startButton()), std::optional<QColor>(kGreen));
    QCOMPARE(bar->meter(MonitorBar::MeanLeft)->maximum(), 32760);
    QCOMPARE(bar->alertList(0)->alertModel().label(), QStringLiteral(" SprechTaste"));
    QCOMPARE(paintedColour(bar->alertList(2)), std::optional<QColor>(QColor(224, 224, 224)));
    QCOMPARE(bar->connection()->colour(), QColor(192, 192, 192));

    // Only the FMS grid while no five-tone or pager decoder runs.
    w.tabs()->setCurrentIndex(MainWindow::ListsTabIndex);
    QVERIFY(w.listsTab()->grid(ReceptionKind::Fms)->isVisible());
    QVERIFY(!w.listsTab()->grid(ReceptionKind::Zvei)->isVisible());
    QVERIFY(!w.listsTab()->grid(ReceptionKind::Pocsag)->isVisible());
    QCOMPARE(w.listsTab()->grid(ReceptionKind::Fms)->model()->headerData(7, Qt::Horizontal).toString(),
             QStringLiteral("Text"));
}

void WindowTest::speichernWritesThirtyLinesThatARestartShowsAgain() {
    MonitorSettings saved;
    {
        WindowRig rig(root());
        rig.startUp();
        SettingsTab* tab = rig.window().settingsTab();

        showPage(rig, SettingsPage::Soundkarte);
        click(rig.find<QCheckBox>("Check5_3")); // ZVEI left
        QVERIFY(tab->unsaved());
        tab->markSaved();
        click(rig.find<QCheckBox>("Check5_1")); // POCSAG right
        click(rig.find<QCheckBox>("Check5_5")); // FMS left
        QVERIFY(tab->unsaved());

        showPage(rig, SettingsPage::FzgeImportieren);
        click(rig.find<QCheckBox>("Check1"));
        showPage(rig, SettingsPage::Aktionen);
        tab->markSaved();
        QTest::keyClicks(rig.find<QLineEdit>("Text1"), "/usr/local/bin/alarm");
        QVERIFY(tab->unsaved());
        showPage(rig, SettingsPage::Fahrzeugansicht);
        click(rig.find<QRadioButton>("Option2_3"));
        QCOMPARE(rig.find<QLabel>("BoardTotal")->text(), QStringLiteral("3000"));

        showPage(rig, SettingsPage::Statusfarben);
        tab->markSaved();
        whenDialogOpens<QColorDialog>([](QColorDialog* d) {
            d->setCurrentColor(QColor(10, 20, 30));
            d->accept();
        });
        click(rig.find<ColourField>("Label2_2"));
        QCOMPARE(rig.find<ColourField>("Label2_2")->colour(), rgb(10, 20, 30));
        QVERIFY(tab->unsaved());
        // A click counts even when the colour stays.
        tab->markSaved();
        whenDialogOpens<QColorDialog>([](QColorDialog* d) { d->reject(); });
        click(rig.find<ColourField>("Label2_4"));
        QVERIFY(tab->unsaved());

        showPage(rig, SettingsPage::HtmlExport);
        click(rig.find<QCheckBox>("Check2"));
        QTest::keyClicks(rig.find<QLineEdit>("Text2_0"), "ftp.example.org");
        QTest::keyClicks(rig.find<QLineEdit>("Text2_1"), "leitstelle");
        QTest::keyClicks(rig.find<QLineEdit>("Text2_2"), "geheim");
        QTest::keyClicks(rig.find<QLineEdit>("Text2_3"), "status");
        click(rig.find<QRadioButton>("Option1_1"));

        showPage(rig, SettingsPage::Winsock);
        QTest::keyClicks(rig.find<QLineEdit>("Text3"), "127.0.0.1");
        retype(rig.find<QLineEdit>("Text4"), "2000");
        showPage(rig, SettingsPage::WinMessages);
        click(rig.find<QCheckBox>("Check4"));
        QTest::keyClicks(rig.find<QLineEdit>("Text5"), "Einsatzmonitor");

        click(tab->saveButton());
        QVERIFY(!tab->unsaved());
        QCOMPARE(paintedColour(tab->saveButton()), std::nullopt);
        saved = rig.state().settings;
    }

    const QStringList lines = readLines(root() + "/Mon.ini");
    QCOMPARE(lines.size(), 30);
    QCOMPARE(lines[3], QString::number(rgb(10, 20, 30))); // status 3
    QCOMPARE(lines[10], QStringLiteral("1"));              // appendOnImport
    QCOMPARE(lines[11], QStringLiteral("/usr/local/bin/alarm"));
    QCOMPARE(lines.mid(12, 6),
             (QStringList{"ftp.example.org", "leitstelle", "geheim", "status", "1", "1"}));
    QCOMPARE(lines.mid(18, 6), (QStringList{"127.0.0.1", "2000", "0", "1", "Einsatzmonitor", "3"}));
    QCOMPARE(lines.mid(24, 6), (QStringList{"0", "1", "0", "1", "0", "1"}));

    WindowRig again(root());
    QVERIFY(again.startUp().filter("Mon.ini").isEmpty());
    QCOMPARE(again.state().settings, saved);
    QCOMPARE(again.window().settingsTab()->collectSettingsFromControls(MonitorSettings{}), saved);
    QVERIFY(again.find<QRadioButton>("Option2_3")->isChecked());
    QCOMPARE(again.find<QLineEdit>("Text2_2")->text(), QStringLiteral("geheim"));
    QCOMPARE(again.find<ColourField>("Label2_2")->colour(), rgb(10, 20, 30));
    QVERIFY(!again.window().settingsTab()->unsaved());
}

void WindowTest::storedBoardSizeZeroShowsTheLargestAndIsSavedAsFour() {
    QStringList mon(30, QStringLiteral("0"));
    writeLines(root() + "/Mon.ini", mon);
    WindowRig rig(root());
    rig.startUp();
    QVERIFY(rig.find<QRadioButton>("Option2_4")->isChecked());
    click(rig.window().settingsTab()->saveButton());
    QCOMPARE(readLines(root() + "/Mon.ini").value(23), QStringLiteral("4"));
}

void WindowTest::portFieldKeepsToThe31000Limit_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("saved");
    QTest::newRow("above") << "40000" << "31000" << 31000;
    QTest::newRow("limit") << "31000" << "31000" << 31000;
    QTest::newRow("below") << "30999" << "30999" << 30999;
    QTest::newRow("digits then text") << "99999x" << "31000x" << 31000;
    QTest::newRow("no number") << "x" << "x" << 0;
}

void WindowTest::portFieldKeepsToThe31000Limit() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, saved);
    WindowRig rig(root());
    rig.startUp();
    showPage(rig, SettingsPage::Winsock);
    retype(rig.find<QLineEdit>("Text4"), typed);
    QCOMPARE(rig.find<QLineEdit>("Text4")->text(), shown);
    QVERIFY(rig.window().settingsTab()->unsaved());
    click(rig.window().settingsTab()->saveButton());
    QCOMPARE(rig.state().settings.tcpPort, saved);
}

void WindowTest::failedSaveIsShownAndTheButtonStaysRed() {
    // A Mon.ini that cannot be replaced (here a folder of that name, which
    // stops root as well as anyone).
    QVERIFY(QDir(root()).mkdir("Mon.ini"));
    WindowRig rig(root());
    rig.startUp();
    const qsizetype before = rig.monitor().messages().history().size();
    showPage(rig, SettingsPage::Soundkarte);
    click(rig.find<QCheckBox>("Check5_2"));
    click(rig.window().settingsTab()->saveButton());
    QVERIFY(rig.window().settingsTab()->unsaved());
    QCOMPARE(paintedColour(rig.window().settingsTab()->saveButton()), std::optional<QColor>(kRed));
    const QStringList shown = rig.monitor().messages().history().mid(before);
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains("Mon.ini"), qPrintable(shown[0]));
    QVERIFY(shown[0].startsWith(text::kTitleAttention));
    // The options the user chose are in force all the same.
    QCOMPARE(rig.state().settings.decoderEnabled[FmsRight], 1);
}

void WindowTest::gridsAreArrangedByTheEnabledDecoders_data() {
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<int>("fms");
    QTest::addColumn<int>("zvei");
    QTest::addColumn<int>("pocsag");
    QTest::newRow("FMS only") << QStringList{"Check5_5"} << 8775 << 0 << 0;
    QTest::newRow("ZVEI right only") << QStringList{"Check5_0"} << 3975 << 4695 << 0;
    QTest::newRow("POCSAG left") << QStringList{"Check5_4"} << 3975 << 0 << 4695;
    QTest::newRow("both") << QStringList{"Check5_3", "Check5_1"} << 3975 << 2415 << 2175;
}

void WindowTest::gridsAreArrangedByTheEnabledDecoders() {
    QFETCH(QStringList, switches);
    QFETCH(int, fms);
    QFETCH(int, zvei);
    QFETCH(int, pocsag);
    WindowRig rig(root());
    rig.startUp();
    rig.window().resize(1200, 900);
    showPage(rig, SettingsPage::Soundkarte);
    for (const QString& name : switches) {
        click(rig.find<QCheckBox>(name));
    }
    click(rig.window().settingsTab()->saveButton());
    rig.window().tabs()->setCurrentIndex(MainWindow::ListsTabIndex);
    QCoreApplication::processEvents();

    ListsTab* lists = rig.window().listsTab();
    QCOMPARE(lists->arrangement(), (GridArrangement{fms, zvei, pocsag}));
    const int fmsHeight = lists->grid(ReceptionKind::Fms)->height();
    const std::array<std::pair<ReceptionKind, int>, 2> others = {
        std::pair{ReceptionKind::Zvei, zvei}, std::pair{ReceptionKind::Pocsag, pocsag}};
    for (const auto& [kind, twips] : others) {
        ReceptionGrid* grid = lists->grid(kind);
        QCOMPARE(grid->isVisible(), twips > 0);
        if (twips > 0) {
            // The heights share the tab in the proportions of the twips.
            const double want = static_cast<double>(twips) / fms;
            const double got = static_cast<double>(grid->height()) / fmsHeight;
            QVERIFY2(std::abs(got - want) < 0.05, qPrintable(QStringLiteral("%1 vs %2").arg(got).arg(want)));
        }
    }
    QVERIFY(fmsHeight > lists->height() / 3);
}

void WindowTest::boardSizeChangeStopsReplayAndReloadsTheVehicles() {
    // Entry 150 stands on page 0 of a 10 x 20 board and on page 3 of 5 x 10.
    QStringList fzg(151, QStringLiteral("\t\t"));
    fzg[150] = QStringLiteral("Florian 4/83-1\tHLF\t62345678");
    writeLines(root() + "/Fzg.txt", fzg);
    QVERIFY(QDir(root()).mkpath("Status"));
    writeLines(root() + "/Status/150.txt", {QStringLiteral("3\t1\t07.12. 15:52")});
    WindowRig rig(root());
    rig.startUp();
    QCOMPARE(rig.state().vehicles.at(150).Status, 3);
    QSignalSpy rebuilt(&rig.monitor().view(), &GuiView::boardRebuildRequested);
    QSignalSpy redrawn(&rig.monitor().view(), &GuiView::boardRedrawRequested);

    QVERIFY(rig.window().capture().startReplay(testData("demo/demo.flac"), false));
    QVERIFY(!rig.window().bar()->startButton()->isEnabled());
    QCOMPARE(paintedColour(rig.window().bar()->stopButton()), std::optional<QColor>(kRed));

    showPage(rig, SettingsPage::Fahrzeugansicht);
    click(rig.find<QRadioButton>("Option2_1"));
    click(rig.window().settingsTab()->saveButton());

    QCOMPARE(rig.window().capture().mode(), CaptureController::Mode::Idle);
    QVERIFY(rig.window().bar()->startButton()->isEnabled());
    QCOMPARE(paintedColour(rig.window().bar()->startButton()), std::optional<QColor>(kGreen));
    QCOMPARE(rebuilt.count(), 1);
    QCOMPARE(redrawn.count(), 1);
    QCOMPARE(rig.state().vehicles.size(), 1500);
    QCOMPARE(rig.state().vehicles.at(150).Rufname, QStringLiteral("Florian 4/83-1"));
    QCOMPARE(rig.state().vehicles.at(150).Status, 3);

    // Saving again without a size change redraws but does not rebuild.
    click(rig.window().settingsTab()->saveButton());
    QCOMPARE(rebuilt.count(), 1);
    QCOMPARE(redrawn.count(), 2);
}

void WindowTest::preparedFolderFillsGridsFiltersAndTables() {
    QStringList mon(30, QStringLiteral("0"));
    mon[11] = mon[12] = mon[13] = mon[14] = mon[15] = mon[18] = mon[22] = QString();
    mon[24] = mon[25] = mon[29] = QStringLiteral("1"); // ZVEI, POCSAG right; FMS left
    writeLines(root() + "/Mon.ini", mon);
    const QDate today = QDate::currentDate();
    const QString day = today.toString("dd.MM.yyyy");
    const DataFolder folder = *DataFolder::open(root());
    writeLines(todaysLog(folder, ReceptionKind::Fms),
               {"RTW 1\t\t62345678\t3\t0\tFzg->Lst\t" + day + " 08:00:01\t",
                "RTW 2\t\t62345679\t4\t0\tFzg->Lst\t" + day + " 08:00:02\t"});
    writeLines(todaysLog(folder, ReceptionKind::Zvei),
               {"12345\tFF Nord\t" + day + " 15:52:00", "12399\t\t" + day + " 15:53:00"});
    writeLines(todaysLog(folder, ReceptionKind::Pocsag),
               {"1234567\t3\tWehr\t" + day + " 09:00:00\tProbealarm, bitte quittieren"});
    writeLines(folder.logFile(ReceptionKind::Zvei, today.addDays(-1)), {"55555\t\tgestern"});
    writeLines(root() + "/filter_fms.txt", {"6\t0", "62\t1"});
    writeLines(root() + "/filter_poc.txt", {"1234\t1"});
    writeLines(root() + "/Wachen.txt", {"Wache Nord", "Wache Süd"});
    writeLines(root() + "/ZVEI.txt", {"12345\tFF Nord\t255"});

    WindowRig rig(root());
    QSignalSpy names(&rig.monitor().view(), &GuiView::stationNamesChanged);
    QVERIFY(rig.startUp().isEmpty());
    QCOMPARE(names.count(), 1);

    ReceptionLists& lists = rig.state().lists;
    QCOMPARE(lists.fms.rowCount(), 2);
    QVERIFY(lists.fms.rowText(0).startsWith("RTW 2")); // the last line ends on top
    QCOMPARE(rowsOf(lists.zvei), (QStringList{"12399\t\t" + day + " 15:53:00", "12345\tFF Nord\t" + day + " 15:52:00"}));
    QCOMPARE(lists.pocsag.rowCount(), 1);
    QCOMPARE(lists.pocsag.rowText(0).section('\t', 4), QStringLiteral("Probealarm, bitte quittieren"));
    // Reloaded rows have no colour.
    ReceptionGrid* zvei = rig.window().listsTab()->grid(ReceptionKind::Zvei);
    QVERIFY(zvei->isVisible());
    QVERIFY(!zvei->model()->index(0, 1).data(Qt::BackgroundRole).isValid());
    QVERIFY(rig.window().listsTab()->grid(ReceptionKind::Pocsag)->isVisible());

    FilterPage* filters = rig.window().page<FilterPage>(SettingsPage::Filter);
    QCOMPARE(filters->list(0)->count(), 1);
    QCOMPARE(filters->list(0)->item(0)->text(), QStringLiteral("6"));
    QCOMPARE(filters->list(1)->item(0)->text(), QStringLiteral("62"));
    QCOMPARE(filters->list(5)->item(0)->text(), QStringLiteral("1234"));
    QVERIFY(!rig.state().filters.filterFms("62345678"));
    QCOMPARE(rig.state().stationNames.name(1), QStringLiteral("Wache Süd"));
    QCOMPARE(rig.state().callNames.callNameCount(), 1);
    QCOMPARE(rig.state().settings.decoderEnabled[ZveiRight], 1);
}

void WindowTest::filterEntriesAreAddedAndRemovedOnTheFilterPage() {
    WindowRig rig(root());
    rig.startUp();
    showPage(rig, SettingsPage::Filter);
    FilterPage* page = rig.window().page<FilterPage>(SettingsPage::Filter);

    QString prompt;
    whenDialogOpens<QInputDialog>([&prompt](QInputDialog* d) {
        prompt = d->labelText();
        d->setTextValue("6a");
        d->accept();
    });
    click(page->newButton(0));
    QCOMPARE(prompt, QStringLiteral("FMS-Kennung  eingeben:"));
    QCOMPARE(readLines(root() + "/filter_fms.txt"), QStringList{"6a\t0"});
    QCOMPARE(page->list(0)->count(), 1);
    // In force at once, letters without regard to case.
    QVERIFY(rig.state().filters.filterFms("6A123456"));
    QVERIFY(!rig.state().filters.filterFms("71234567"));

    whenDialogOpens<QInputDialog>([](QInputDialog* d) {
        d->setTextValue("123");
        d->accept();
    });
    click(page->newButton(3));
    QCOMPARE(readLines(root() + "/filter_zvei.txt"), QStringList{"123\t1"});
    QVERIFY(!rig.state().filters.filterZvei("12345"));

    // An empty entry would match every reception: refused, and the user is told why.
    whenDialogOpens<QInputDialog>([](QInputDialog* d) {
        d->setTextValue("");
        d->accept();
    });
    click(page->newButton(4));
    QVERIFY(!QFile::exists(root() + "/filter_poc.txt"));
    QVERIFY(rig.monitor().messages().history().join(u'\n').contains(QStringLiteral("leerer Filtereintrag")));

    // Cancel adds nothing.
    whenDialogOpens<QInputDialog>([](QInputDialog* d) {
        d->setTextValue("999");
        d->reject();
    });
    click(page->newButton(4));
    QVERIFY(!QFile::exists(root() + "/filter_poc.txt"));

    // "löschen" needs a selected entry, and the removal is in force at once.
    click(page->deleteButton(0));
    QCOMPARE(page->list(0)->count(), 1);
    page->list(0)->setCurrentRow(0);
    click(page->deleteButton(0));
    QCOMPARE(page->list(0)->count(), 0);
    QVERIFY(readLines(root() + "/filter_fms.txt").isEmpty());
    QVERIFY(rig.state().filters.filterFms("71234567"));
}

void WindowTest::searchFillsTheActionProgramAndCancelKeepsIt() {
    WindowRig rig(root());
    rig.startUp();
    showPage(rig, SettingsPage::Aktionen);
    const QString program = root() + "/alarm.sh";
    writeLines(program, {"#!/bin/sh"});
    QString title;
    whenDialogOpens<QFileDialog>([program, &title](QFileDialog* d) {
        title = d->windowTitle();
        chooseFile(d, program);
    });
    click(rig.find<QPushButton>("Command3"));
    QCOMPARE(title, QStringLiteral("Ausführbare Datei auswählen"));
    QCOMPARE(rig.find<QLineEdit>("Text1")->text(), program);
    QVERIFY(rig.window().settingsTab()->unsaved());

    rig.window().settingsTab()->markSaved();
    whenDialogOpens<QFileDialog>([](QFileDialog* d) { d->reject(); });
    click(rig.find<QPushButton>("Command3"));
    QCOMPARE(rig.find<QLineEdit>("Text1")->text(), program);
    QVERIFY(!rig.window().settingsTab()->unsaved());
}

void WindowTest::alertListEntriesGoByMousePressAndByAge() {
    WindowRig rig(root());
    rig.startUp();
    AlertListView* status0 = rig.window().bar()->alertList(2);
    AlertListModel& model = status0->alertModel();
    const QDateTime now = QDateTime::currentDateTime();
    AppendAlertLine(model, "62345678", now.addSecs(-10));
    AppendAlertLine(model, "62345679", now);
    QCOMPARE(paintedColour(status0), std::optional<QColor>(kGreen));
    QCOMPARE(model.selectedRow(), 1);

    // A press beside the entries takes the selected one, the newest.
    QTest::mousePress(status0->viewport(), Qt::LeftButton, {}, QPoint(5, status0->viewport()->height() - 3));
    QCOMPARE(model.entries().size(), 1);
    QVERIFY(model.entries()[0].contains("62345678"));
    QCOMPARE(paintedColour(status0), std::optional<QColor>(kGreen));
    // A press on an entry takes that one; the emptied list turns grey.
    const QRect first = status0->visualRect(model.index(0));
    QTest::mousePress(status0->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(paintedColour(status0), std::optional<QColor>(QColor(224, 224, 224)));

    // The minute timer takes entries older than four minutes.
    AlertListModel& talk = rig.window().bar()->alertList(0)->alertModel();
    AppendAlertLine(talk, "Tonruf I", now.addSecs(-300));
    AppendAlertLine(talk, "Tonruf II", now.addSecs(-60));
    QSignalSpy ticked(&rig.monitor(), &Monitor::minuteTicked);
    QVERIFY(rig.monitor().minuteTimer().isActive());
    rig.monitor().minuteTick();
    QCOMPARE(ticked.count(), 1);
    QCOMPARE(talk.rowCount(), 1);
    QVERIFY(talk.entries()[0].contains("Tonruf II"));
}

void WindowTest::startThatCannotOpenSaysWhyAndStaysIdle_data() {
    QTest::addColumn<int>("deviceIndex");
    QTest::addColumn<QString>("shown");
    // This machine has no sound card (the tests run without an audio server).
    QTest::newRow("none chosen") << -1 << "tolvana: Es wurde noch keine Soundkarte selektiert";
    QTest::newRow("not there") << 0
                               << "Achtung:: Soundkarte kann nicht geöffnet werden ! (von anderem Programm in "
                                  "Benutzung ?)";
}

void WindowTest::startThatCannotOpenSaysWhyAndStaysIdle() {
    QFETCH(int, deviceIndex);
    QFETCH(QString, shown);
    QStringList mon(30, QStringLiteral("0"));
    mon[0] = QString::number(deviceIndex);
    writeLines(root() + "/Mon.ini", mon);
    WindowRig rig(root());
    rig.startUp();
    if (rig.window().page<SoundcardPage>(SettingsPage::Soundkarte)->deviceList()->count() != 0) {
        QSKIP("this machine lists a sound card");
    }
    const qsizetype before = rig.monitor().messages().history().size();
    click(rig.window().bar()->startButton());
    QCOMPARE(rig.monitor().messages().history().mid(before), QStringList{shown});
    QCOMPARE(rig.window().capture().mode(), CaptureController::Mode::Idle);
    QVERIFY(rig.window().bar()->startButton()->isEnabled());
    QVERIFY(!rig.window().bar()->stopButton()->isEnabled());
}

} // namespace tolvana::gui::test

QTEST_MAIN(tolvana::gui::test::WindowTest)
#include "window_test.moc"
