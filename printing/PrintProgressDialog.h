#pragma once

#include <QDialog>

class QLabel;

// Shown while a job prints: which document goes to which printer, the page being printed,
// and "ｷｬﾝｾﾙ", which stops the job. It keeps the rest of the program waiting meanwhile.
class PrintProgressDialog : public QDialog {
    Q_OBJECT

public:
    PrintProgressDialog(const QString& title, const QString& printer, const QString& port,
                        QWidget* parent = nullptr);

    // Shows the page number and lets the user answer; false once the job is cancelled.
    bool pageStarted(int page);
    bool cancelled() const { return cancelled_; }

public slots:
    // The button, Escape and the close box all cancel the job.
    void reject() override;

private:
    QLabel* pageLabel_ = nullptr;
    bool cancelled_ = false;
};
