#pragma once

#include "Desktop.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

// A desktop that shows nothing and starts nothing: it keeps the boxes, questions, dialogs and
// files the program hands to it, and answers questions and file dialogs from queues the test
// fills beforehand (an empty queue answers No, or cancels the dialog).
class TRecordingDesktop : public TDesktop {
  public:
    // The answer to one file dialog.
    struct TDialogAnswer {
        int TypeIndex; // the chosen file type; 0: the dialog is cancelled
        QString FileName;
    };

    QStringList Errors;   // the general error reports
    QStringList Messages; // the plain message boxes
    QStringList Shown;    // both, in the order they came
    // For each message, whether its window was on screen when it came.
    QList<bool> MessageOverShownWindow;

    QStringList Questions;
    QList<bool> QuestionAnswers;

    QList<TFileDialog> SaveOffers; // the save dialogs as they were offered
    QList<TFileDialog> OpenOffers; // the open dialogs as they were offered
    QList<TFileDialog> Offers;     // both, in the order they came
    QList<TDialogAnswer> DialogAnswers;

    QStringList Opened;          // files opened with their application
    QStringList Edited;          // files opened in the text editor
    QStringList Explored;        // files shown in the file manager
    QStringList ExploredFolders; // folders opened in the file manager
    QStringList OpenedUrls;      // web, mail and FTP addresses

    void ShowErrorReport(QWidget*, const QString& text) override {
        Errors << text;
        Shown << text;
    }
    void ShowMessage(QWidget* parent, const QString& text) override {
        Messages << text;
        Shown << text;
        MessageOverShownWindow << (parent != nullptr && parent->window()->isVisible());
    }
    bool AskQuestion(QWidget*, const QString& text) override {
        Questions << text;
        return !QuestionAnswers.isEmpty() && QuestionAnswers.takeFirst();
    }

    void OpenFile(const QString& path) override { Opened << path; }
    void ShowInTextEditor(const QString& path) override { Edited << path; }
    void ExploreFile(const QString& path) override { Explored << path; }
    void ExploreFolder(const QString& folder) override { ExploredFolders << folder; }
    void OpenUrl(const QString& target) override { OpenedUrls << target; }

    bool GetSaveFileName(QWidget*, TFileDialog& dialog) override {
        SaveOffers << dialog;
        Offers << dialog;
        return Answer(dialog);
    }
    bool GetOpenFileName(QWidget*, TFileDialog& dialog) override {
        OpenOffers << dialog;
        Offers << dialog;
        return Answer(dialog);
    }

  private:
    bool Answer(TFileDialog& dialog) {
        const TDialogAnswer answer =
            DialogAnswers.isEmpty() ? TDialogAnswer{0, {}} : DialogAnswers.takeFirst();
        if (answer.TypeIndex == 0)
            return false;
        dialog.TypeIndex = answer.TypeIndex;
        dialog.FileName = answer.FileName;
        return true;
    }
};
