#include "window/Dialogs.h"

#include "charts/ChartView.h"
#include "tests/app/support/TestClasses.h"
#include "window/Application.h"

#include <functional>
#include <stdexcept>

#include <QAbstractButton>
#include <QAction>
#include <QChartView>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

/// The real dialogs, closed by a timer once they are up, and the application's catch of escaped errors.
class DialogsTest : public QObject {
    Q_OBJECT

  private:
    /// Runs `inspect` on the modal dialog as soon as it is shown, then rejects it.
    static void when_shown(std::function<void(QWidget*)> inspect) {
        auto* timer = new QTimer;
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, inspect] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog) return;
            timer->stop();
            inspect(dialog);
            if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
            timer->deleteLater();
        });
        timer->start();
    }

  private slots:
    void printPreviewShowsOnePageAndPrintsNothing() {
        auto view = std::make_unique<ChartView>(QStringLiteral("Chart2"), QStringLiteral("t"), false);
        view->resize(356, 269);
        for (bool stretched : {true, false}) {
            int pages = -1;
            bool stretch_checked = !stretched;
            QString caption;
            when_shown([&](QWidget* dialog) {
                caption = dialog->windowTitle();
                if (auto* preview = dialog->findChild<QPrintPreviewWidget*>()) pages = preview->pageCount();
                if (auto* action = dialog->findChild<QAction*>(QStringLiteral("stretch")))
                    stretch_checked = action->isChecked();
            });
            QtDialogs().print_preview(nullptr, view.get(), stretched);
            QCOMPARE(pages, 1);
            QCOMPARE(stretch_checked, stretched);
            QCOMPARE(caption, QStringLiteral("Velmora"));
        }
    }

    void messageBoxCarriesTheApplicationTitle() {
        QString caption;
        QString text;
        when_shown([&](QWidget* dialog) {
            caption = dialog->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) text = box->text();
        });
        QtDialogs().message(nullptr, QMessageBox::Information, QStringLiteral("Done !"));
        QCOMPARE(caption, QStringLiteral("Velmora"));
        QCOMPARE(text, QStringLiteral("Done !"));
    }

    void cancelledFileDialogsGiveNothing() {
        QString folder;
        QString title;
        when_shown([&folder, &title](QWidget* dialog) {
            title = dialog->windowTitle();
            if (auto* d = qobject_cast<QFileDialog*>(dialog)) folder = d->directory().path();
        });
        QCOMPARE(QtDialogs().open_file(nullptr, QStringLiteral("Add a Run"), QStringLiteral("txt"),
                                       QStringLiteral("*.txt"), QDir::tempPath()),
                 std::nullopt);
        QCOMPARE(folder, QDir::tempPath());
        QCOMPARE(title, QStringLiteral("Add a Run"));
        when_shown([](QWidget*) {});
        QCOMPARE(QtDialogs().save_file(nullptr, QStringLiteral("trajectories.txt"), QString()), std::nullopt);
        when_shown([](QWidget*) {});
        QCOMPARE(QtDialogs().choose_folder(nullptr, QDir::tempPath()), std::nullopt);
    }

    void confirmGoesAheadOnlyOnItsButton() {
        for (const bool press : {true, false}) {
            QString caption;
            when_shown([&caption, press](QWidget* dialog) {
                caption = dialog->windowTitle();
                auto* box = qobject_cast<QMessageBox*>(dialog);
                for (QAbstractButton* b : box->buttons())
                    if (press && b->text() == QStringLiteral("Replace")) b->click();
            });
            QCOMPARE(QtDialogs().confirm(nullptr, QStringLiteral("Replace?"), QStringLiteral("Replace")), press);
            QCOMPARE(caption, QStringLiteral("Velmora"));
        }
    }

    void escapedExceptionsReachTheErrorHandlerAndTheLoopGoesOn() {
        auto* app = qobject_cast<Application*>(QCoreApplication::instance());
        QVERIFY(app);
        QStringList errors;
        app->set_error_handler([&errors](const QString& text) { errors.append(text); });
        QObject target;
        QTimer::singleShot(0, &target, [] { throw std::runtime_error("broken"); });
        QTimer::singleShot(0, &target, [] { throw 42; });
        bool later = false;
        QTimer::singleShot(5, &target, [&later] { later = true; });
        QTRY_VERIFY(later);
        app->set_error_handler(nullptr);
        QCOMPARE(errors.size(), 2);
        QCOMPARE(errors.at(0), QStringLiteral("broken"));
        QCOMPARE(errors.at(1), QStringLiteral("An error of an unknown kind ended the command."));
    }
};

VELMORA_TEST_CLASS(DialogsTest);

#include "Dialogs_test.moc"
