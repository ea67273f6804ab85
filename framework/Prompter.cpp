#include "Prompter.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QTimer>

#include <cstdio>

namespace {

// Gives the focus back, once a box or dialog has closed, to the widget that had it when the
// box opened: left to itself, the window may hand the focus to whatever widget comes next,
// such as the other pane, where the next Delete or F2 would act on something else.
class FocusReturn {
public:
    FocusReturn() : widget_(QApplication::focusWidget()) {}
    ~FocusReturn() {
        if (widget_ && widget_->isVisible() && widget_->isEnabled())
            widget_->setFocus(Qt::OtherFocusReason);
    }
    FocusReturn(const FocusReturn&) = delete;
    FocusReturn& operator=(const FocusReturn&) = delete;

private:
    QPointer<QWidget> widget_;
};

QMessageBox::StandardButton ToButton(Prompter::Answer answer) {
    switch (answer) {
    case Prompter::Answer::Ok:
        return QMessageBox::Ok;
    case Prompter::Answer::Cancel:
        return QMessageBox::Cancel;
    case Prompter::Answer::Yes:
        return QMessageBox::Yes;
    case Prompter::Answer::No:
        return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

Prompter::Answer ToAnswer(int button) {
    switch (button) {
    case QMessageBox::Yes:
        return Prompter::Answer::Yes;
    case QMessageBox::No:
        return Prompter::Answer::No;
    case QMessageBox::Ok:
        return Prompter::Answer::Ok;
    default:
        return Prompter::Answer::Cancel;
    }
}

QMessageBox::Icon ToIcon(Prompter::Icon icon) {
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToButtons(Prompter::Buttons buttons) {
    switch (buttons) {
    case Prompter::Buttons::Ok:
        return QMessageBox::Ok;
    case Prompter::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Prompter::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// The shown text keeps the label as written; the real patterns go in a second, hidden
// group, so "*.tlw" can match any letter case without showing "[tT][lL][wW]".
QStringList NameFilters(const QList<FileFilter>& filters) {
    QStringList out;
    for (const FileFilter& filter : filters)
        out << filter.label + QStringLiteral(" (") + filter.patterns.join(' ') + ')';
    return out;
}

QString ChooseFile(QFileDialog& dialog, const QList<FileFilter>& filters) {
    const FocusReturn focus;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(NameFilters(filters));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

// Each line of a box's text as a line of the program's own on standard error.
void WriteToStandardError(const QString& text) {
    const QByteArray program =
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLocal8Bit();
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts))
        std::fprintf(stderr, "%s: %s\n", program.constData(), line.toLocal8Bit().constData());
}

// The platforms that draw nowhere a person could see.
bool HasScreen() {
    const QString platform = QGuiApplication::platformName();
    return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
}

} // namespace

QStringList ExtensionPatterns(const QString& extension) {
    QString anyCase = QStringLiteral("*");
    for (QChar c : extension)
        anyCase +=
            c.isLetter() ? QStringLiteral("[%1%2]").arg(c.toLower(), c.toUpper()) : QString(c);
    return {u'*' + extension, anyCase};
}

int Prompter::runDialog(QDialog& dialog) {
    const FocusReturn focus;
    return dialog.exec();
}

QAction* Prompter::runMenu(QMenu& menu, const QPoint& globalPos) {
    const FocusReturn focus;
    return menu.exec(globalPos);
}

void Prompter::beep() {
    QApplication::beep();
}

Prompter::Answer WidgetPrompter::ask(QWidget* parent, const QString& caption, const QString& text,
                                     Buttons buttons, Icon icon, Answer defaultAnswer) {
    if (unattended()) {
        WriteToStandardError(text);
        if (unattendedBoxTime() <= std::chrono::milliseconds::zero())
            return defaultAnswer;
    }
    QMessageBox box(ToIcon(icon), caption, text, ToButtons(buttons), parent);
    box.setDefaultButton(ToButton(defaultAnswer));
    if (buttons == Buttons::YesNo)
        box.setEscapeButton(QMessageBox::No);
    const FocusReturn focus;
    // The answer is given as a click on its button would give it.
    if (unattended())
        QTimer::singleShot(unattendedBoxTime(), &box,
                           [&box, defaultAnswer] { box.done(ToButton(defaultAnswer)); });
    return ToAnswer(box.exec());
}

std::chrono::milliseconds WidgetPrompter::unattendedBoxTime() const {
    using namespace std::chrono_literals;
    return unattendedBoxTime_.value_or(HasScreen() ? 5s : 0s);
}

QString WidgetPrompter::chooseOpenFile(QWidget* parent, const QString& caption,
                                       const QList<FileFilter>& filters) {
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return ChooseFile(dialog, filters);
}

QString WidgetPrompter::chooseSaveFile(QWidget* parent, const QString& caption,
                                       const QString& proposedName,
                                       const QList<FileFilter>& filters) {
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(proposedName);
    return ChooseFile(dialog, filters);
}

bool WidgetPrompter::choosePrinter(QWidget* parent, QPrinter& printer) {
    const FocusReturn focus;
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void WidgetPrompter::runPrintPreview(QPrintPreviewDialog& preview) {
    preview.exec();
}
