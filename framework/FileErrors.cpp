#include "FileErrors.h"

#include "PathNames.h"

#include <cerrno>
#include <cstring>

QString DescribeErrno(int error) {
    switch (error) {
    case ENOENT:
        return QStringLiteral("ファイルまたはフォルダーが見つかりません。");
    case EACCES:
    case EPERM:
        return QStringLiteral("アクセスが拒否されました。");
    case EISDIR:
        return QStringLiteral("フォルダーです。ファイルではありません。");
    case ENOTDIR:
        return QStringLiteral("パスの途中にフォルダーではないものがあります。");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクの空き領域が不足しています。");
    case EROFS:
        return QStringLiteral("読み取り専用のファイル システムです。");
    case EIO:
        return QStringLiteral("ディスクの読み書き中にエラーが発生しました。");
    case ENAMETOOLONG:
        return QStringLiteral("ファイル名が長すぎます。");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("開いているファイルが多すぎます。");
    case ENOMEM:
        return QStringLiteral("メモリが不足しています。");
    case kNotRegularFileError:
        return QStringLiteral("通常のファイルではありません (パイプ、デバイスなど)。");
    case kUnreadableNameError:
        return QStringLiteral("ファイル名の文字コードを扱えません (UTF-8 ではない名前です)。\n"
                              "ファイル名を UTF-8 に変更してから開いてください。"
                              "例: convmv -f shift_jis -t utf-8 --notest ファイル名");
    case 0:
        return QStringLiteral("原因不明のエラーです。");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString FileErrorText(const QString& headline, const QString& path, int error) {
    return headline + QStringLiteral("\n\n") + DisplayPathName(path) + '\n' + DescribeErrno(error);
}

QString OpenFailureText(const QString& path, int error) {
    return FileErrorText(QStringLiteral("ﾄﾞｷｭﾒﾝﾄのｵｰﾌﾟﾝに失敗しました。"), path, error);
}
