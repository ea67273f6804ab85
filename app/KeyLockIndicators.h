#pragma once

#include <QObject>

class QLabel;
class QStatusBar;

// The status bar's "ｶﾅ", "CAP", "NUM" and "SCRL" panes. Each shows its text while its lock
// is on and stays blank, at the same width, otherwise. The lock states come from the X
// keyboard extension; where the platform cannot tell (Wayland, offscreen) they stay blank.
class KeyLockIndicators : public QObject {
    Q_OBJECT

public:
    explicit KeyLockIndicators(QStatusBar* bar);

    void refresh();

private:
    QLabel* addPane(QStatusBar* bar, const QString& text, const char* name);

    struct Pane {
        QLabel* label;
        QString text;
        const char* lockName;
    };
    QList<Pane> panes_;
};
