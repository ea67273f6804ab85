#include "PrintProgressDialog.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PrintProgressDialog::PrintProgressDialog(const QString& title, const QString& printer,
                                         const QString& port, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("printProgress"));
    setWindowTitle(QStringLiteral("印刷"));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    QStringList lines{QStringLiteral("印刷中"), title, QStringLiteral("を"), printer};
    if (!port.isEmpty())
        lines << QStringLiteral("%1 へ").arg(port);
    for (const QString& text : lines) {
        auto* label = new QLabel(text, this);
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label, 0, Qt::AlignHCenter);
    }
    pageLabel_ = new QLabel(this);
    pageLabel_->setObjectName(QStringLiteral("pageLabel"));
    layout->addWidget(pageLabel_, 0, Qt::AlignHCenter);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(cancel, &QPushButton::clicked, this, &PrintProgressDialog::reject);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    setMinimumWidth(fontMetrics().averageCharWidth() * 40);
}

bool PrintProgressDialog::pageStarted(int page) {
    pageLabel_->setText(QStringLiteral("ﾍﾟｰｼﾞ %1").arg(page));
    QCoreApplication::processEvents();
    return !cancelled_;
}

void PrintProgressDialog::reject() {
    cancelled_ = true;
}
