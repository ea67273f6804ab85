#include "AboutDlg.h"

#include "views/Artwork.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Tellwick)"));
    auto* icon = new QLabel(this);
    icon->setPixmap(Artwork::applicationIcon().pixmap(32, 32));
    auto* name = new QLabel(QStringLiteral("Tellwick Version 1.0"), this);
    name->setTextFormat(Qt::PlainText);
    auto* copyright =
        new QLabel(QStringLiteral("Copyright (C) 2026 The Tellwick developers"), this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(16);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(name, 0, 1);
    layout->addWidget(copyright, 1, 1);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    setFixedSize(sizeHint());
}
