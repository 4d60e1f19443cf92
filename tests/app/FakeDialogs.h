#pragma once

#include "app/Dialogs.h"

#include <deque>
#include <functional>
#include <vector>

#include <QChartView>

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
    std::vector<Message> messages;
    std::vector<Preview> previews;
    int open_asked = 0;
    QString last_save_proposal;

    std::optional<QString> open_file(QWidget*, const QString&, const QString&) override {
        ++open_asked;
        return next(open_answers);
    }
    std::optional<QString> save_file(QWidget*, const QString& initial_name) override {
        last_save_proposal = initial_name;
        return next(save_answers);
    }
    void message(QWidget*, QMessageBox::Icon icon, const QString& text) override { messages.push_back({icon, text}); }
    void print_preview(QWidget*, QChartView* chart, bool stretched) override {
        previews.push_back({chart->objectName(), stretched});
    }

  private:
    static std::optional<QString> next(std::deque<std::optional<QString>>& answers) {
        if (answers.empty()) return std::nullopt;
        std::optional<QString> a = answers.front();
        answers.pop_front();
        return a;
    }
};
