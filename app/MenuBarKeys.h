#pragma once

#include <QObject>

class QMainWindow;

// F10, or Alt pressed and released alone, opens the window's first menu, as people used to
// the books' home platform expect; nothing else on Linux does.
class MenuBarKeys : public QObject {
public:
    explicit MenuBarKeys(QMainWindow& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool belongsToWindow(QObject* watched) const;
    void openFirstMenu();

    QMainWindow& window_;
    bool altAlone_ = false; // Alt is down and no other key or click came since
};
