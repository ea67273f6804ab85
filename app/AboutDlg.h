#pragma once

#include <QDialog>

// The about box: icon, program name and version, copyright line, OK.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
