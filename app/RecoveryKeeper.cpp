#include "RecoveryKeeper.h"

#include "document/TellwickDoc.h"
#include "file/BookFormat.h"
#include "framework/PathNames.h"
#include "framework/Prompter.h"
#include "storage/RecoveryFiles.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QSessionManager>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

RecoveryKeeper::RecoveryKeeper(CTellwickDoc& document, QObject* parent)
    : QObject(parent), document_(document) {
    writer_.setMaxThreadCount(1);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::startWrite);
    connect(&document_.edits, &BookEdits::bookChanged, this, [this](BookChange change) {
        if (change == BookChange::Replaced)
            discard();
        followBook();
    });
    connect(&document_, &Document::modifiedChanged, this, &RecoveryKeeper::followBook);
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this, &RecoveryKeeper::writeNow);
        connect(gui, &QGuiApplication::saveStateRequest, this, &RecoveryKeeper::writeNow);
    }
}

RecoveryKeeper::~RecoveryKeeper() {
    discard();
}

void RecoveryKeeper::followBook() {
    if (document_.isModified())
        scheduleWrite();
    else
        discard();
}

// A running timer is left alone: a burst of edits is copied once, within kDelayMs of its
// first change.
void RecoveryKeeper::scheduleWrite() {
    if (!timer_.isActive())
        timer_.start(kDelayMs);
}

void RecoveryKeeper::writeNow() {
    timer_.stop();
    startWrite();
    writer_.waitForDone();
}

void RecoveryKeeper::startWrite() {
    if (!document_.isModified())
        return;
    RecoveryCopy copy;
    copy.path = EncodePathBytes(document_.pathName()).toStdString();
    copy.untitled = document_.pathName().isEmpty();
    copy.savedAt = static_cast<std::int64_t>(std::time(nullptr));
    std::ostringstream book;
    WriteBook(book, document_.tree);
    copy.book = std::move(book).str();
    if (file_.empty())
        file_ = NewRecoveryFile();
    writer_.start([file = file_, copy = std::move(copy)] {
        if (const int error = WriteRecoveryCopy(file, copy))
            std::fprintf(stderr, "tellwick: recovery copy not written: %s: %s\n", file.c_str(),
                         std::strerror(error));
    });
}

void RecoveryKeeper::discard() {
    timer_.stop();
    writer_.waitForDone();
    if (!file_.empty())
        RemoveRecoveryCopy(file_);
    file_.clear();
}

bool RecoveryKeeper::offerLeftCopies(Prompter& prompter, QWidget* parent) {
    const QString caption = QCoreApplication::applicationName();
    for (const LeftRecovery& left : FindLeftRecoveries()) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(left.copy.path));
        const QString name = left.copy.untitled ? QStringLiteral("Untitled") : path;
        const QString time = QDateTime::fromSecsSinceEpoch(left.copy.savedAt)
                                 .toString(QStringLiteral("yyyy/MM/dd HH:mm"));
        const Prompter::Answer answer = prompter.ask(
            parent, caption,
            QStringLiteral("保存されていない変更が見つかりました: %1 (%2)。復元しますか?")
                .arg(name, time),
            Prompter::Buttons::YesNo, Prompter::Icon::Question, Prompter::Answer::Yes);
        if (answer != Prompter::Answer::Yes) {
            RemoveRecoveryCopy(left.file);
            continue;
        }
        QBuffer bytes;
        bytes.setData(QByteArray::fromStdString(left.copy.book));
        bytes.open(QIODevice::ReadOnly);
        if (!document_.openRecovered(bytes, left.copy.untitled ? QString() : path).ok())
            continue; // kept for another try
        document_.sendInitialUpdate();
        writeNow(); // the recovered changes are kept by this window before its copy goes
        RemoveRecoveryCopy(left.file);
        return true;
    }
    return false;
}
