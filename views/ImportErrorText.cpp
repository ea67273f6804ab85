#include "ImportErrorText.h"

#include "exchange/ContactImport.h"

namespace {

QString ProblemText(ImportProblem problem, const QString& detail) {
    switch (problem) {
    case ImportProblem::NotUtf8:
        return QStringLiteral("UTF-8 として読めない文字があります");
    case ImportProblem::LdifNotReadable:
        return QStringLiteral("LDIF は書き出し専用で、読み込めません");
    case ImportProblem::PropertyWithoutColon:
        return QStringLiteral("\":\" のない行があります");
    case ImportProblem::InvalidBase64:
        return QStringLiteral("BASE64 の値が正しくありません");
    case ImportProblem::UnsupportedCharset:
        return QStringLiteral("文字コード %1 には対応していません").arg(detail);
    case ImportProblem::ExpectedBeginVCard:
        return QStringLiteral("カードの外 (BEGIN:VCARD の前) に項目があります");
    case ImportProblem::EndVCardWithoutBegin:
        return QStringLiteral("BEGIN:VCARD のない END:VCARD があります");
    case ImportProblem::BeginVCardInsideCard:
        return QStringLiteral("カードの中に BEGIN:VCARD があります");
    case ImportProblem::CardNotClosed:
        return QStringLiteral("カードが END:VCARD で閉じられていません");
    case ImportProblem::CsvHeaderMissing:
        return QStringLiteral("見出し行 Group,Name,Addresses がありません");
    case ImportProblem::CsvFieldCount:
        return QStringLiteral("項目が %1 個あります (3 個必要です)").arg(detail);
    case ImportProblem::CsvQuoteInUnquotedField:
        return QStringLiteral("\" で囲まれていない項目の中に \" があります");
    case ImportProblem::CsvTextAfterClosingQuote:
        return QStringLiteral("閉じる \" の後に文字があります");
    case ImportProblem::CsvQuotedFieldNotClosed:
        return QStringLiteral("\" で始まる項目が閉じられていません");
    case ImportProblem::InvalidShiftJis:
        return QStringLiteral("Shift_JIS として読めない値があります");
    case ImportProblem::GroupPathTooDeep:
        return QStringLiteral("グループの階層が %1 段を超えています").arg(detail);
    }
    return QStringLiteral("形式が正しくありません");
}

} // namespace

QString ImportErrorText(const ImportError& error) {
    return QStringLiteral("%1 行目: %2")
        .arg(QString::number(error.line()),
             ProblemText(error.problem(), QString::fromStdString(error.detail())));
}
