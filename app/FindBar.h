#pragma once

#include <QPalette>
#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

// The find bar's widgets: a text box, "前へ" and "次へ", the match count and a close
// button. It only reports what the user asks for; finding is BookFinder's.
class FindBar : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(QWidget* parent = nullptr);

    QString text() const;
    // Puts the focus in the text box with its text selected, ready to be typed over.
    void focusText();
    // "current / total"; current 0 when no match is current.
    void showCount(qsizetype current, qsizetype total);
    // No count while the matches are being counted.
    void clearCount();
    // The text box turns the usual colour of text that was not found.
    void showNotFound(bool notFound);

signals:
    // Committed text only: the input method's pre-edit text is not the text yet.
    void textChanged(const QString& text);
    void nextRequested();
    void previousRequested();
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QToolButton* makeButton(const QString& text, const QString& name);

    QLineEdit* text_;
    QLabel* count_;
    QPalette normalPalette_;
};
