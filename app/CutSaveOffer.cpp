#include "CutSaveOffer.h"

#include "framework/Prompter.h"
#include "storage/SaveJournal.h"

#include <QCoreApplication>
#include <QFile>

#include <cstring>

void OfferCutSaves(Prompter& prompter, QWidget* parent) {
    const QString caption = QCoreApplication::applicationName();
    for (const CutSave& save : FindCutSaves()) {
        const QString name = QFile::decodeName(QByteArray::fromStdString(save.target));
        const Prompter::Answer answer = prompter.ask(
            parent, caption,
            QStringLiteral("アドレス帳の保存が途中で止まっていました: %1\n\n"
                           "はい: 保存する前の内容に戻します\n"
                           "いいえ: 保存しようとした内容にします\n"
                           "キャンセル: このままにします (次に起動したときにもう一度たずねます)")
                .arg(name),
            Prompter::Buttons::YesNoCancel, Prompter::Icon::Warning, Prompter::Answer::Yes);
        if (answer == Prompter::Answer::Cancel)
            continue;
        const std::string& bytes = answer == Prompter::Answer::Yes ? save.oldBytes : save.newBytes;
        if (const int error = PutBack(save, bytes))
            prompter.inform(parent, caption,
                            QStringLiteral("%1 に書き戻せませんでした: %2")
                                .arg(name, QString::fromLocal8Bit(std::strerror(error))),
                            Prompter::Icon::Critical);
    }
}
