#pragma once

#include "window/Dialogs.h"

#include <deque>
#include <vector>

#include <QChartView>
#include <QStringList>

/// Answers the window's dialogs at once from queued answers and records what was shown.
class FakeDialogs : public Dialogs {
  public:
    struct Message {
        QMessageBox::Icon icon;
        QString text;
    };
    struct Preview {
        QString chart;
        bool stretched;
    };

    std::deque<std::optional<QString>> open_answers;
    std::deque<std::optional<QString>> save_answers;
    std::deque<std::optional<QString>> folder_answers;
    std::deque<std::optional<ImageChoice>> image_answers;
    std::deque<std::optional<QString>> data_answers;
    std::deque<std::optional<QString>> report_answers;
    /// The names the export dialogs proposed.
    QStringList export_proposals;
    std::vector<Message> messages;
    std::vector<Preview> previews;
    int open_asked = 0;
    int save_asked = 0;
    QString last_open_title;
    QString last_open_folder;
    /// Answers to confirm (none queued: Cancel), and the questions asked.
    std::deque<bool> confirm_answers;
    QStringList questions;
    QString last_save_proposal;
    QString last_save_folder;

    std::optional<QString> open_file(QWidget*, const QString& title, const QString&, const QString&,
                                     const QString& folder) override {
        ++open_asked;
        last_open_title = title;
        last_open_folder = folder;
        return next(open_answers);
    }
    std::optional<QString> save_file(QWidget*, const QString& initial_name, const QString& folder) override {
        ++save_asked;
        last_save_proposal = initial_name;
        last_save_folder = folder;
        return next(save_answers);
    }
    std::optional<QString> choose_folder(QWidget*, const QString&) override { return next(folder_answers); }
    void message(QWidget*, QMessageBox::Icon icon, const QString& text) override { messages.push_back({icon, text}); }
    bool confirm(QWidget*, const QString& text, const QString&) override {
        questions.append(text);
        if (confirm_answers.empty()) return false;
        const bool go = confirm_answers.front();
        confirm_answers.pop_front();
        return go;
    }
    void print_preview(QWidget*, QChartView* chart, bool stretched) override {
        previews.push_back({chart->objectName(), stretched});
    }

    std::optional<ImageChoice> export_image(QWidget*, const QString& initial_name, const QString&,
                                            const ImageSpec&) override {
        export_proposals.append(initial_name);
        return next(image_answers);
    }
    std::optional<QString> export_data(QWidget*, const QString& initial_name, const QString&) override {
        export_proposals.append(initial_name);
        return next(data_answers);
    }

    std::optional<QString> save_report(QWidget*, const QString& initial_name, const QString&) override {
        export_proposals.append(initial_name);
        return next(report_answers);
    }

  private:
    template <typename T>
    static std::optional<T> next(std::deque<std::optional<T>>& answers) {
        if (answers.empty()) return std::nullopt;
        std::optional<T> a = answers.front();
        answers.pop_front();
        return a;
    }
};
