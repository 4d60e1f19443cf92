// What the window leaves in its output folder: the optional files of the runs open before go when other runs
// open (only those still as written, and those of work stopped part way too), and a newly chosen folder
// receives the outputs made so far.

#include "outputs/WrittenRecord.h"
#include "sample/Simulator.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <algorithm>
#include <fstream>
#include <thread>

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QStatusBar>
#include <QTest>

namespace {

/// The record of optional files in `folder`.
std::vector<WrittenFile> record_in(const QString& folder) {
    return read_written_record(QFile::encodeName(folder).toStdString());
}

QStringList names_of(const std::vector<WrittenFile>& files) {
    QStringList out;
    for (const WrittenFile& f : files) out.append(QString::fromStdString(f.name));
    return out;
}

/// Opens `path`, makes the tree, a Binder estimate and a cut at 0.5.
void make_everything(Window& w, const QString& path) {
    w.open(path);
    w.make_tree();
    w.find<QComboBox>("estimate_loss")->setCurrentIndex(1);
    w.click("estimate_run");
    w.wait();
    w.set_number("cut_level", 0.5);
    w.click("cut_apply");
}

void choose_tidy(Window& w) {
    auto* set = w.find<QComboBox>("output_set");
    set->setCurrentIndex(1);
    emit set->activated(1);
}

const char* const legacy_files[] = {"posterior_k.txt", "pairwise_probs.txt", "tree.txt", "node_clusters.txt",
                                    "node_heights.txt"};
const char* const optional_files[] = {"clustering.tsv", "estimate.txt", "membership.tsv", "cut.tsv"};

}  // namespace

class OutputFolderTest : public QObject {
    Q_OBJECT

  private slots:
    void anotherRunTakesAwayTheOptionalFilesStillAsWrittenAndNothingElse() {
        Workspace ws;
        const QString a = ws.file(QStringLiteral("a.txt"));
        const QString b = ws.file(QStringLiteral("b.txt"));
        write_file(a, result_text(5, 4, alternating_records(30)));
        write_file(b, result_text(3, 3, std::vector<Record>(20, Record{-5.0, {{1}, {2, 3}}})));
        Window w;
        make_everything(w, a);
        const std::vector<WrittenFile> record = record_in(ws.file(QString()));
        QCOMPARE(names_of(record), (QStringList{QStringLiteral("clustering.tsv"), QStringLiteral("estimate.txt"),
                                                QStringLiteral("membership.tsv"), QStringLiteral("cut.tsv")}));
        QCOMPARE(record[0].runs, QFile::encodeName(a).toStdString());
        QCOMPARE(record[1].settings, std::string("burn-in 10; k 1 to 4; loss binder; seed 1"));
        QCOMPARE(record[3].settings, std::string("burn-in 10; k 1 to 4; cut at level 0.5"));
        write_file(QStringLiteral("estimate.txt"), "kept by the user\n");
        write_file(QStringLiteral("notes.txt"), "mine\n");

        w.open(b);
        QVERIFY(!file_exists(QStringLiteral("clustering.tsv")));
        QVERIFY(!file_exists(QStringLiteral("cut.tsv")));
        QCOMPARE(read_file(QStringLiteral("estimate.txt")), std::string("kept by the user\n"));
        QVERIFY(file_exists(QStringLiteral("notes.txt")));
        for (const char* f : legacy_files) QVERIFY2(file_exists(QLatin1String(f)), f);
        QVERIFY(!file_exists(QString::fromLatin1(written_record_name)));
        QVERIFY(w->statusBar()->currentMessage().endsWith(
            QStringLiteral("Removed from the output folder, as written for the runs open before: clustering.tsv, "
                           "membership.tsv, cut.tsv.")));
    }

    void aRefusedRunRemovesNothing() {
        Workspace ws;
        const QString a = ws.file(QStringLiteral("a.txt"));
        const QString other = ws.file(QStringLiteral("other.txt"));
        write_file(a, result_text(5, 4, alternating_records(30)));
        write_file(other, result_text(3, 3, std::vector<Record>(20, Record{-5.0, {{1}, {2, 3}}})));
        Window w;
        make_everything(w, a);
        w.fake->open_answers.push_back(other);
        w->add_run();
        QVERIFY(w.wait());
        QCOMPARE(w.fake->messages.size(), std::size_t(1));  // refused: other individuals
        for (const char* f : optional_files) QVERIFY2(file_exists(QLatin1String(f)), f);
        QCOMPARE(record_in(ws.file(QString())).size(), std::size_t(4));
    }

    void tidyFilesAreRecordedForTheRunsTheyDescribe() {
        Workspace ws;
        const QString a = ws.file(QStringLiteral("a.txt"));
        const QString b = ws.file(QStringLiteral("b.txt"));
        write_file(a, result_text(5, 4, alternating_records(30)));
        write_file(b, result_text(3, 3, std::vector<Record>(20, Record{-5.0, {{1}, {2, 3}}})));
        Window w;
        choose_tidy(w);
        w.open(a);
        w.make_tree();
        QCOMPARE(names_of(record_in(ws.file(QString()))),
                 (QStringList{QStringLiteral("trace.tsv"), QStringLiteral("posterior_k.tsv"),
                              QStringLiteral("diagnostics.tsv"), QStringLiteral("runs.tsv"),
                              QStringLiteral("posterior_k_runs.tsv"), QStringLiteral("psm.tsv"),
                              QStringLiteral("tree_average.nwk"), QStringLiteral("tree.nwk"),
                              QStringLiteral("tree.nex"), QStringLiteral("nodes.tsv")}));
        w.open(b);
        QVERIFY(w.wait());
        // b's tables replace a's; a's tree files are gone, as b has no tree yet.
        const std::vector<WrittenFile> now = record_in(ws.file(QString()));
        QCOMPARE(now.size(), std::size_t(5));
        for (const WrittenFile& f : now) QCOMPARE(f.runs, QFile::encodeName(b).toStdString());
        QCOMPARE(QString::fromStdString(read_file(QStringLiteral("trace.tsv"))).count(QLatin1Char('\n')), 21);
        for (const char* f : {"psm.tsv", "tree_average.nwk", "tree.nwk", "tree.nex", "nodes.tsv"})
            QVERIFY2(!file_exists(QLatin1String(f)), f);
    }

    void aTreeStoppedPartWayLeavesTheTidyFilesItWroteRecorded() {
        Workspace ws;
        const QString big = ws.file(QStringLiteral("big.txt"));
        {
            std::ofstream out(QFile::encodeName(big).toStdString(), std::ios::binary);
            simulate_run(out, SimulationSettings{600, 80, 20, 5, 4});
        }
        const QString small = ws.file(QStringLiteral("small.txt"));
        write_file(small, result_text(3, 3, std::vector<Record>(20, Record{-5.0, {{1}, {2, 3}}})));
        Window w;
        choose_tidy(w);
        w.open(big);
        // The tree is cancelled once the files of its pair counts are written, before its merges end; no events
        // are processed meanwhile.
        w.click("Button1");
        const QDeadlineTimer deadline(20000);
        while (!file_exists(QStringLiteral("psm.tsv")) && !deadline.hasExpired()) std::this_thread::yield();
        QVERIFY(file_exists(QStringLiteral("psm.tsv")));
        w.click("job_cancel");
        QVERIFY(w.wait());

        // Every optional file there is in the record as it is...
        const std::vector<WrittenFile> record = record_in(ws.file(QString()));
        for (const QString& name : QDir().entryList(QDir::Files)) {
            if (!is_recorded_output(name.toStdString())) continue;
            const auto entry = std::find_if(record.begin(), record.end(),
                                            [&name](const WrittenFile& f) { return f.name == name.toStdString(); });
            QVERIFY2(entry != record.end(), qPrintable(name));
            QCOMPARE(file_checksum(QFile::encodeName(name).toStdString())->second, entry->checksum);
        }
        // ... so that other runs opened take them away.
        w.open(small);
        QVERIFY(w.wait());
        QVERIFY(!file_exists(QStringLiteral("psm.tsv")));
        QVERIFY(!file_exists(QStringLiteral("tree_average.nwk")));
    }

    void aNewFolderReceivesTheOutputsMadeSoFar_data() {
        QTest::addColumn<bool>("tidy");
        QTest::newRow("legacy") << false;
        QTest::newRow("tidy") << true;
    }
    void aNewFolderReceivesTheOutputsMadeSoFar() {
        QFETCH(bool, tidy);
        Workspace ws;
        const QString a = ws.file(QStringLiteral("a.txt"));
        write_file(a, result_text(5, 4, alternating_records(30)));
        QDir().mkdir(QStringLiteral("out"));
        Window w;
        if (tidy) choose_tidy(w);
        make_everything(w, a);
        w.fake->folder_answers.push_back(ws.file(QStringLiteral("out")));
        w.click("choose_output_folder");
        QVERIFY(w.wait());
        QVERIFY(w.fake->questions.isEmpty());
        QStringList expected;
        if (tidy) {
            expected = QStringList{QStringLiteral("trace.tsv"),
                                   QStringLiteral("posterior_k.tsv"),
                                   QStringLiteral("diagnostics.tsv"),
                                   QStringLiteral("runs.tsv"),
                                   QStringLiteral("posterior_k_runs.tsv"),
                                   QStringLiteral("psm.tsv"),
                                   QStringLiteral("tree_average.nwk"),
                                   QStringLiteral("tree.nwk"),
                                   QStringLiteral("tree.nex"),
                                   QStringLiteral("nodes.tsv")};
        } else {
            for (const char* f : legacy_files) expected.append(QLatin1String(f));
        }
        for (const char* f : optional_files) expected.append(QLatin1String(f));
        // Each file is the one written into the first folder, byte for byte.
        for (const QString& f : expected) {
            const std::string mine = read_file(QStringLiteral("out/") + f);
            QVERIFY2(!mine.empty(), qPrintable(f));
            QVERIFY2(mine == read_file(f), qPrintable(f));
        }
        QStringList recorded = expected;
        if (!tidy)
            recorded = QStringList{QStringLiteral("clustering.tsv"), QStringLiteral("estimate.txt"),
                                   QStringLiteral("membership.tsv"), QStringLiteral("cut.tsv")};
        QCOMPARE(names_of(record_in(ws.file(QStringLiteral("out")))), recorded);
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("The outputs made so far were written into %1.")
                                                       .arg(QDir::toNativeSeparators(ws.file(QStringLiteral("out")))));
        QVERIFY(w.fake->messages.empty());
    }

    void filesAlreadyThereAreReplacedOnlyWhenTheUserSays() {
        Workspace ws;
        const QString a = ws.file(QStringLiteral("a.txt"));
        write_file(a, result_text(5, 4, alternating_records(30)));
        QDir().mkdir(QStringLiteral("out"));
        write_file(QStringLiteral("out/tree.txt"), "another tree\n");
        write_file(QStringLiteral("out/cut.tsv"), "another cut\n");
        Window w;
        make_everything(w, a);
        const QString before = w->session().output_folder();

        w.fake->folder_answers.push_back(ws.file(QStringLiteral("out")));
        w.click("choose_output_folder");  // no answer queued: Cancel
        QVERIFY(w.wait());
        QCOMPARE(w.fake->questions.size(), 1);
        QVERIFY(w.fake->questions[0].contains(
            QStringLiteral("already holds files that the outputs would replace: tree.txt, cut.tsv.")));
        QCOMPARE(w->session().output_folder(), before);
        QCOMPARE(read_file(QStringLiteral("out/tree.txt")), std::string("another tree\n"));
        QVERIFY(!file_exists(QStringLiteral("out/posterior_k.txt")));

        w.fake->folder_answers.push_back(ws.file(QStringLiteral("out")));
        w.fake->confirm_answers.push_back(true);
        w.click("choose_output_folder");
        QVERIFY(w.wait());
        QCOMPARE(w->session().output_folder(), ws.file(QStringLiteral("out")));
        QCOMPARE(read_file(QStringLiteral("out/tree.txt")), read_file(QStringLiteral("tree.txt")));
        QCOMPARE(read_file(QStringLiteral("out/cut.tsv")), read_file(QStringLiteral("cut.tsv")));

        // The folder chosen again: nothing to ask, nothing written again.
        QFile::remove(QStringLiteral("out/tree.txt"));
        w.fake->folder_answers.push_back(ws.file(QStringLiteral("out")));
        w.click("choose_output_folder");
        QVERIFY(w.wait());
        QCOMPARE(w.fake->questions.size(), 2);
        QVERIFY(!file_exists(QStringLiteral("out/tree.txt")));
    }

    void writingIntoTheNewFolderCanBeCancelled() {
        Workspace ws;
        const QString a = ws.file(QStringLiteral("a.txt"));
        write_file(a, result_text(5, 4, alternating_records(30)));
        QDir().mkdir(QStringLiteral("out"));
        Window w;
        make_everything(w, a);
        w.fake->folder_answers.push_back(ws.file(QStringLiteral("out")));
        w.click("choose_output_folder");
        QVERIFY(w->busy());
        w->session().cancel_all();
        QVERIFY(w.wait());
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("was cancelled")));
        for (const QString& f : QDir(QStringLiteral("out")).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(!f.contains(QStringLiteral(".tmp-")), qPrintable(f));
    }
};

VELMORA_TEST_CLASS(OutputFolderTest);

#include "OutputFolder_test.moc"
