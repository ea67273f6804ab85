#pragma once

#include "framework/Prompter.h"

#include <QDialog>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include <QStringList>

#include <functional>

// Answers the program's boxes and file dialogs from a script and records what was asked,
// so tests drive the real code paths without any modal loop.
class ScriptedPrompter : public Prompter {
public:
    struct Shown {
        QString caption;
        QString text;
        Buttons buttons;
        bool unattended;
    };

    QList<Answer> answers;      // for ask(); a box with an empty queue gets its default
    QList<QString> openChoices; // for the open dialog; empty means cancelled
    QList<QString> saveChoices; // for the save dialog
    QList<Shown> shown;
    QStringList proposedNames; // what the save dialog proposed
    QList<QList<FileFilter>> dialogFilters;
    QStringList dialogCaptions;
    QStringList dialogsRun; // object names of the program's own dialogs
    // Plays the user in the program's own dialogs; without it every dialog is accepted as is.
    std::function<int(QDialog&)> dialogScript;
    int beeps = 0;
    QList<QStringList> menusShown; // the texts of each popup menu's lines
    QString menuChoice;            // the line to choose; empty closes the menu
    // Plays the user in the print dialog: sets the printer up, then accepts (true) or
    // cancels. Without it the dialog is cancelled.
    std::function<bool(QPrinter&)> printDialogScript;
    int printDialogsShown = 0;
    struct Preview {
        int pageCount;
        QPrintPreviewWidget::ViewMode viewMode;
    };
    QList<Preview> previews; // what each print preview showed

    Answer ask(QWidget*, const QString& caption, const QString& text, Buttons buttons, Icon,
               Answer defaultAnswer) override {
        shown.append({caption, text, buttons, unattended()});
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }
    QString chooseOpenFile(QWidget*, const QString& caption,
                           const QList<FileFilter>& filters) override {
        dialogCaptions << caption;
        dialogFilters << filters;
        return openChoices.isEmpty() ? QString() : openChoices.takeFirst();
    }
    QString chooseSaveFile(QWidget*, const QString& caption, const QString& proposedName,
                           const QList<FileFilter>& filters) override {
        dialogCaptions << caption;
        dialogFilters << filters;
        proposedNames << proposedName;
        return saveChoices.isEmpty() ? QString() : saveChoices.takeFirst();
    }
    int runDialog(QDialog& dialog) override {
        dialogsRun << dialog.objectName();
        return dialogScript ? dialogScript(dialog) : QDialog::Accepted;
    }
    bool choosePrinter(QWidget*, QPrinter& printer) override {
        ++printDialogsShown;
        return printDialogScript && printDialogScript(printer);
    }
    // Lays the preview's pages out as showing it would, and records what it shows.
    void runPrintPreview(QPrintPreviewDialog& preview) override {
        auto* pages = preview.findChild<QPrintPreviewWidget*>();
        pages->updatePreview();
        previews.append({pages->pageCount(), pages->viewMode()});
    }
    void beep() override { ++beeps; }
    QAction* runMenu(QMenu& menu, const QPoint&) override {
        QStringList texts;
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            texts << action->text();
            if (!menuChoice.isEmpty() && action->text() == menuChoice)
                chosen = action;
        }
        menusShown << texts;
        return chosen;
    }

    QStringList texts() const {
        QStringList out;
        for (const Shown& box : shown)
            out << box.text;
        return out;
    }
};
