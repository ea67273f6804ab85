#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

class QAction;
class QDialog;
class QMenu;
class QPoint;
class QPrintPreviewDialog;
class QPrinter;
class QWidget;

// One entry of a file dialog's type list: the text shown and the patterns it stands for.
struct FileFilter {
    QString label;
    QStringList patterns;
};

// The patterns of a file type: the extension as written first, since a save dialog gives it
// to the name it proposes, then the same extension in any letter case (".tlw" also matches
// "x.TLW").
QStringList ExtensionPatterns(const QString& extension);

// Every modal question and file choice of the program goes through this seam, so that the
// real boxes and dialogs can be answered by tests without timers or sleeps.
class Prompter {
public:
    enum class Answer { Ok, Cancel, Yes, No };
    enum class Buttons { Ok, YesNo, YesNoCancel };
    enum class Icon { Information, Warning, Critical, Question };

    virtual ~Prompter() = default;

    virtual Answer ask(QWidget* parent, const QString& caption, const QString& text,
                       Buttons buttons, Icon icon, Answer defaultAnswer) = 0;
    // An empty result means the user cancelled.
    virtual QString chooseOpenFile(QWidget* parent, const QString& caption,
                                   const QList<FileFilter>& filters) = 0;
    virtual QString chooseSaveFile(QWidget* parent, const QString& caption,
                                   const QString& proposedName,
                                   const QList<FileFilter>& filters) = 0;

    // The print dialog, which sets printer up as the user chooses; false when cancelled.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;
    // Shows a print preview; it asks for its pages when shown.
    virtual void runPrintPreview(QPrintPreviewDialog& preview) = 0;

    // Runs a modal dialog of the program's own and returns its result code.
    virtual int runDialog(QDialog& dialog);
    // The refusal sound at the ends of a chain.
    virtual void beep();
    // Shows a popup menu at a screen point; the action chosen, or null.
    virtual QAction* runMenu(QMenu& menu, const QPoint& globalPos);

    void inform(QWidget* parent, const QString& caption, const QString& text, Icon icon) {
        ask(parent, caption, text, Buttons::Ok, icon, Answer::Ok);
    }

    // Set while nobody may be there to answer, as when printing from the command line: a box
    // must then take its default answer by itself rather than wait for a click.
    void setUnattended(bool unattended) { unattended_ = unattended; }
    bool unattended() const { return unattended_; }

private:
    bool unattended_ = false;
};

// The real thing: QMessageBox and Qt's own file, print and preview dialogs. An unattended
// box also writes its text to standard error, for whoever started the program.
class WidgetPrompter : public Prompter {
public:
    // How long an unattended box stays up before it takes its default answer. Unless set,
    // a few seconds, and no time at all (no box) on a platform without a screen.
    void setUnattendedBoxTime(std::chrono::milliseconds time) { unattendedBoxTime_ = time; }

    Answer ask(QWidget* parent, const QString& caption, const QString& text, Buttons buttons,
               Icon icon, Answer defaultAnswer) override;
    QString chooseOpenFile(QWidget* parent, const QString& caption,
                           const QList<FileFilter>& filters) override;
    QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& proposedName,
                           const QList<FileFilter>& filters) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    void runPrintPreview(QPrintPreviewDialog& preview) override;

private:
    std::chrono::milliseconds unattendedBoxTime() const;

    std::optional<std::chrono::milliseconds> unattendedBoxTime_;
};
