// What the window offers beyond its two pages: menus, remembered settings, the output folder, dropped
// files, a trace kept without its side file, and a layout that grows and shrinks.

#include "pages/AnchorLayout.h"
#include "pages/NumericField.h"
#include "pages/Page.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"
#include "window/Settings.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineSeries>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

namespace {

std::unique_ptr<QSettings> settings_in(const Workspace& ws) {
    return std::make_unique<QSettings>(ws.file(QStringLiteral("settings.ini")), QSettings::IniFormat);
}

}  // namespace

class WindowFeaturesTest : public QObject {
    Q_OBJECT

  private slots:
    void menusCarryTheStandardShortcuts() {
        Workspace ws;
        Window w;
        const struct {
            const char* action;
            QKeySequence keys;
        } actions[] = {{"actionOpen", QKeySequence::Open},
                       {"actionSaveTrajectory", QKeySequence::Save},
                       {"actionPrint", QKeySequence::Print},
                       {"actionQuit", QKeySequence::Quit},
                       {"actionResetZoom", QKeySequence(Qt::CTRL | Qt::Key_0)}};
        for (const auto& a : actions) {
            auto* action = w.find<QAction>(a.action);
            QVERIFY2(action, a.action);
            QCOMPARE(action->shortcut(), a.keys);
        }
        // About gives both version forms, the title bar's and the package's, the licence and the Qt in use.
        w.find<QAction>("actionAbout")->trigger();
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        const QString about = w.fake->messages[0].text;
        QVERIFY(w->windowTitle().contains(QStringLiteral("version 1")));
        QVERIFY(about.startsWith(QStringLiteral("Velmora version 1 (1.0.0)\n\n")));
        QVERIFY(about.contains(QStringLiteral("Licence: GPL-3.0-or-later.")));
        QVERIFY(about.contains(QStringLiteral("NO WARRANTY")));
        QVERIFY(about.contains(QStringLiteral("Built with Qt %1;").arg(QString::fromLatin1(qVersion()))));
        w.fake->messages.clear();

        // Print prints the chart last clicked on the page shown, else the page's first chart.
        w.find<QAction>("actionPrint")->trigger();
        w.chart("Chart2")->setFocus();
        w.find<QAction>("actionPrint")->trigger();
        w.find<QTabWidget>("PageControl1")->setCurrentIndex(1);
        w.find<QAction>("actionPrint")->trigger();
        QCOMPARE(w.fake->previews.size(), std::size_t(3));
        QCOMPARE(w.fake->previews[0].chart, QStringLiteral("Chart4"));
        QCOMPARE(w.fake->previews[1].chart, QStringLiteral("Chart2"));
        QCOMPARE(w.fake->previews[2].chart, QStringLiteral("Chart1"));
    }

    void restoredBurnInNamesTheEmptyPosterior_data() {
        QTest::addColumn<double>("burn_in");
        QTest::addColumn<QString>("title");
        QTest::newRow("the field's own value") << 10.0 << QStringLiteral("Posterior distribution of k (burn in = 10)");
        QTest::newRow("quit with 1234") << 1234.0 << QStringLiteral("Posterior distribution of k (burn in = 1234)");
        QTest::newRow("none") << 0.0 << QStringLiteral("Posterior distribution of k (burn in = 0)");
        QTest::newRow("a fraction typed") << 20.7 << QStringLiteral("Posterior distribution of k (burn in = 20)");
    }
    void restoredBurnInNamesTheEmptyPosterior() {
        QFETCH(double, burn_in);
        QFETCH(QString, title);
        Workspace ws;
        Settings(settings_in(ws)).set_number(QStringLiteral("burn_in"), burn_in);
        Window w(settings_in(ws));
        QCOMPARE(w.chart("Chart2")->title(), title);
        w.open(QStringLiteral(VELMORA_EXAMPLE));  // the posterior's own title takes over
        QVERIFY(w.chart("Chart2")->title().endsWith(QStringLiteral(" )")));
    }

    void theExampleIsOfferedUntilAFileWasOpened() {
        Workspace ws;
        {
            // Run from its build folder, the window finds the source tree's example.
            Window w(settings_in(ws));
            QCOMPARE(QFileInfo(w->example_run()).fileName(), QStringLiteral("example_run.txt"));
            QVERIFY(QFileInfo(w->example_run()).isFile());
        }
        const struct {
            const char* what;
            bool recent;
            bool found;
            bool offered;
        } cases[] = {{"first start", false, true, true},
                     {"a file opened before", true, true, false},
                     {"no example installed", false, false, false}};
        for (const auto& c : cases) {
            Workspace fresh;
            if (c.recent) Settings(settings_in(fresh)).set_recent_files({QStringLiteral("/runs/a.txt")});
            Window w(settings_in(fresh));
            w->set_example_run(c.found ? QStringLiteral(VELMORA_EXAMPLE) : QString());
            emit w.find<QMenu>("menuFile")->aboutToShow();
            QVERIFY2(w.find<QAction>("actionOpenExample")->isVisible() == c.offered, c.what);
        }
        Window w(settings_in(ws));
        w->set_example_run(QStringLiteral(VELMORA_EXAMPLE));
        w.find<QAction>("actionOpenExample")->trigger();
        QVERIFY(w.wait());
        QCOMPARE(w.text("Label12"), QStringLiteral(VELMORA_EXAMPLE));
        QVERIFY(!w.find<QAction>("actionOpenExample")->isVisible());
    }

    void fileDialogsAreTitledForWhatTheyDo() {
        Workspace ws;
        Window w;
        const struct {
            const char* action;
            const char* title;
        } commands[] = {{"actionOpen", "Open a Result File"},
                        {"actionAddRun", "Add a Run over the Same Individuals"},
                        {"actionLoadNames", "Load the Names of the Individuals"}};
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        for (const auto& c : commands) {
            w.fake->last_open_title.clear();
            w.find<QAction>(c.action)->trigger();
            QCOMPARE(w.fake->last_open_title, QString::fromLatin1(c.title));
        }
    }

    void recentFilesPutTheLatestFirstOnce() {
        const auto list = [](const char* letters) {
            QStringList out;
            for (const char* c = letters; *c != 0; ++c) out.append(QString(QLatin1Char(*c)));
            return out;
        };
        QCOMPARE(with_recent(list("abc"), QStringLiteral("b")), list("bac"));
        QCOMPARE(with_recent(list("abc"), QStringLiteral("d"), 3), list("dab"));
        QCOMPARE(with_recent({}, QStringLiteral("a")), list("a"));
    }

    void remembersFieldsFoldersAndRecentFiles() {
        Workspace ws;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        QDir().mkdir(QStringLiteral("out"));
        {
            Window w(settings_in(ws));
            w.fake->open_answers.push_back(path);
            w.click("Button2");
            QVERIFY(w.wait());
            w.fake->folder_answers.push_back(ws.file(QStringLiteral("out")));
            w.click("choose_output_folder");
            w.set_number("spin_burn_in", 20);
            w.set_number("kmin", 2.5);
            w->show();
            QVERIFY(w->close());
        }
        Window w(settings_in(ws));
        QCOMPARE(w.find<NumericField>("spin_burn_in")->value(), 20.0);
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 20)"));
        QCOMPARE(w.find<NumericField>("kmin")->value(), 2.5);
        QCOMPARE(w->session().output_folder(), ws.file(QStringLiteral("out")));
        QVERIFY(w.text("output_folder").endsWith(QStringLiteral("out")) ||
                w.text("output_folder").contains(QStringLiteral("\u2026")));
        QCOMPARE(settings_in(ws)->value(QStringLiteral("files/recent")).toStringList(), QStringList{path});
        w.click("Button2");
        QCOMPARE(w.fake->last_open_folder, QFileInfo(path).absolutePath());

        // Open Recent lists the file and opens it; a file gone since is said and dropped from the list.
        auto* recent = w.find<QMenu>("menuRecent");
        emit recent->aboutToShow();
        recent->actions().constFirst()->trigger();
        QVERIFY(w.wait());
        QCOMPARE(w.text("Label12"), path);
        QFile::remove(path);
        emit recent->aboutToShow();
        recent->actions().constFirst()->trigger();
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("no longer exists")));
        QVERIFY(settings_in(ws)->value(QStringLiteral("files/recent")).toStringList().isEmpty());
    }

    void outputsGoToTheChosenFolder() {
        Workspace ws;
        Window w;
        QCOMPARE(w.text("output_folder"), QDir::toNativeSeparators(QDir::currentPath()));
        QDir().mkdir(QStringLiteral("out"));
        w.fake->folder_answers.push_back(ws.file(QStringLiteral("out")));
        w.click("choose_output_folder");
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        w.make_tree();
        for (const char* f : {"posterior_k.txt", "_trajectories.txt", "tree.txt", "pairwise_probs.txt"}) {
            QVERIFY2(file_exists(QStringLiteral("out/") + QLatin1String(f)), f);
            QVERIFY2(!file_exists(QLatin1String(f)), f);
        }
        w.click("Button4");
        QCOMPARE(w.fake->last_save_folder, QDir::toNativeSeparators(ws.file(QStringLiteral("out"))));
    }

    void outputFilesAreTheBatchToolsByteForByte() {
        Workspace ws;
        QDir().mkdir(QStringLiteral("window"));
        QDir().mkdir(QStringLiteral("cli"));
        Window w;
        w.fake->folder_answers.push_back(ws.file(QStringLiteral("window")));
        w.click("choose_output_folder");
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        w.fake->save_answers.push_back(ws.file(QStringLiteral("window/trajectories.txt")));
        w.click("Button4");
        w.make_tree();
        QVERIFY(w.fake->messages.empty());

        QProcess cli;
        cli.start(QStringLiteral(VELMORA_CLI_PATH), {QStringLiteral("analyze"), QStringLiteral(VELMORA_EXAMPLE),
                                                     QStringLiteral("--out-dir"), ws.file(QStringLiteral("cli"))});
        QVERIFY(cli.waitForFinished(120000));
        QCOMPARE(cli.exitCode(), 0);
        for (const char* f : {"_trajectories.txt", "posterior_k.txt", "trajectories.txt", "pairwise_probs.txt",
                              "tree.txt", "node_clusters.txt", "node_heights.txt"}) {
            const std::string mine = read_file(QStringLiteral("window/") + QLatin1String(f));
            QVERIFY2(!mine.empty(), f);
            QVERIFY2(mine == read_file(QStringLiteral("cli/") + QLatin1String(f)), f);
        }
    }

    void traceStaysWhenTheSideFileCannotBeWritten() {
        Workspace ws;
        Window w;
        write_file(QStringLiteral("not_a_folder"), "");
        w.fake->folder_answers.push_back(ws.file(QStringLiteral("not_a_folder")));
        w.click("choose_output_folder");
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("kept in memory")));
        QCOMPARE(w.series<QLineSeries>("Chart4", "Series5")->count(), 30);
        QVERIFY(!w.text("trace_note").isEmpty());

        w.fake->save_answers.push_back(ws.file(QStringLiteral("saved.txt")));
        w.click("Button4");
        const std::string saved = read_file(ws.file(QStringLiteral("saved.txt")));
        QVERIFY(saved.starts_with("  k  \t Log likelihood\r\n1\t-100.000000\r\n2\t-101.000000\r\n"));
    }

    void aDroppedFileOpens() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.form.get(), &drop);
        QVERIFY(w.wait());
        QCOMPARE(w.text("Label12"), path);
    }

    void layoutKeepsTheDrawingAndGivesChartsTheRoom() {
        AnchorLayout anchors(QSize(100, 80), QSize(20, 20));
        const struct {
            QSize size;
            AnchorLayout::Share share;
            QRect placed;
        } cases[] = {{{100, 80}, {1, 1, 1, 1}, {10, 10, 30, 20}},
                     {{140, 100}, {1, 0.5, 0, 0}, {50, 20, 30, 20}},
                     {{140, 100}, {0, 0, 0.5, 1}, {10, 10, 50, 40}},
                     {{80, 60}, {0, 0, 1, 1}, {10, 10, 10, 0}}};
        for (const auto& c : cases) QCOMPARE(anchors.placed(QRect(10, 10, 30, 20), c.share, c.size), c.placed);
        QCOMPARE(anchors.minimumSize(), QSize(80, 60));

        Workspace ws;
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        const QSize design = w->size();
        w->resize(design + QSize(200, 100));
        QTRY_COMPARE(w.chart("Chart4")->size(), QSize(678 + 200, 281 + 50));
        QCOMPARE(w.find("Button3")->pos(), QPoint(776 + 200, 128));
        QCOMPARE(w.chart("Chart2")->geometry(), QRect(301, 396 + 50, 356 + 200, 269 + 50));
        w->resize(100, 100);  // no smaller than the drawing allows
        QTRY_VERIFY(w->width() >= design.width() - page_shrink_limit.width());
        QVERIFY(w->height() >= design.height() - page_shrink_limit.height());
        QVERIFY(w.find("Label4")->geometry().bottom() < w.find("posterior_note")->geometry().top());

        w->resize(design);
        w->fit_to(QRect(0, 0, 1066, 634));  // 1600 x 1000 at 150 %, less a panel
        QCOMPARE(w->size(), QSize(design.width(), 634 - 40));
    }
};

VELMORA_TEST_CLASS(WindowFeaturesTest);

#include "WindowFeatures_test.moc"
