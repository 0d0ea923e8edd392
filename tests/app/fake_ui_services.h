// Answers the main window's questions from a script and remembers what was asked.
#pragma once

#include "app/gui/export_commands.h"
#include "app/gui/main_form.h"
#include "app/gui/ui_services.h"
#include "editor/animation_editor.h"
#include "record/ui/recording_session.h"

#include <QDialog>

#include <deque>
#include <memory>
#include <vector>

struct FakeUi : UiServices {
    std::vector<MessageRequest> messages;
    std::deque<QMessageBox::StandardButton> answers; // empty: OK
    std::vector<FileDialogRequest> fileRequests;
    std::deque<QString> fileAnswers; // an empty name or none left: cancelled
    std::vector<QDialog*> modals;
    std::vector<QUrl> opened;
    std::vector<QUrl> openedPrivately;

    QMessageBox::StandardButton ShowMessage(QWidget*, const MessageRequest& request) override {
        messages.push_back(request);
        if (answers.empty())
            return QMessageBox::Ok;
        QMessageBox::StandardButton answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<QString> ChooseFile(QWidget*, const FileDialogRequest& request) override {
        fileRequests.push_back(request);
        QString answer;
        if (!fileAnswers.empty()) {
            answer = fileAnswers.front();
            fileAnswers.pop_front();
        }
        if (answer.isEmpty())
            return std::nullopt;
        return answer;
    }
    int ShowModal(QDialog& dialog) override {
        modals.push_back(&dialog);
        return QDialog::Accepted;
    }
    void OpenUrl(const QUrl& url) override { opened.push_back(url); }
    bool OpenPrivateUrl(const QUrl& url) override {
        openedPrivately.push_back(url);
        return true;
    }
};

// A started main window over the real image library in the program folder.
struct StartedForm {
    FakeUi ui;
    std::unique_ptr<TMainForm> form = std::make_unique<TMainForm>(ui);
    bool started = form->FormCreate(QStringLiteral(CLIPMOOR_PROGRAM_DIR));
};
