#include "CommandCatalog.h"

#include "framework/StandardCommands.h"
#include "views/Commands.h"

#include <QHash>

namespace {

QHash<int, CommandText> BuildCatalog() {
    QHash<int, CommandText> texts{
        {ID_INSERT_GROUP, {"グループを追加", "グループ追加"}},
        {ID_INSERT_SEPARATOR, {"セパレータを追加", "セパレータ追加"}},
        {ID_INSERT_ADDRESS, {"アドレスを追加", "アドレス追加"}},
        {ID_MOVE_UP, {"上へ移動", "上へ"}},
        {ID_MOVE_DOWN, {"下へ移動", "下へ"}},
        {ID_DELETE_UNUSED, {"削除", "削除"}},
        {ID_DELETE, {"削除", "削除"}},
        {ID_PROPERTIES, {"選択項目の編集", "ﾌﾟﾛﾊﾟﾃｨ"}},
        {ID_LOAD_AT_SELECTION, {"選択位置に他のアドレス帳を読み込む", "選択位置に読み込み"}},
        {ID_FIND, {"アドレス帳全体から名前とアドレスを検索", "検索"}},
        {ID_FILE_NEW, {"新規にﾌｧｲﾙを作成", "新規ﾌｧｲﾙ"}},
        {ID_FILE_OPEN, {"既存のﾌｧｲﾙを開く", "開く"}},
        {ID_FILE_CLOSE, {"作業中のﾌｧｲﾙを閉じる", "閉じる"}},
        {ID_FILE_SAVE, {"作業中のﾌｧｲﾙを保存", "保存"}},
        {ID_FILE_SAVE_AS, {"作業中のﾌｧｲﾙに名前を付けて保存", "名前をつけて保存"}},
        {ID_FILE_PRINT_SETUP, {"ﾌﾟﾘﾝﾀ/印刷設定の変更", "ﾌﾟﾘﾝﾀの設定"}},
        {ID_FILE_PRINT, {"作業中のﾌｧｲﾙを印刷", "印刷"}},
        {ID_FILE_PRINT_PREVIEW, {"ﾌﾙｽｸﾘｰﾝで表示", "印刷ﾌﾟﾚﾋﾞｭｰ"}},
        {ID_EDIT_COPY, {"選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存", "ｺﾋﾟ-"}},
        {ID_EDIT_CUT, {"選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存", "切り取り"}},
        {ID_EDIT_PASTE, {"ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け", "貼り付け"}},
        {ID_EDIT_UNDO, {"直前に行った動作を元に戻す", "元に戻す"}},
        {ID_EDIT_REDO, {"元に戻した動作をやり直す", "やり直し"}},
        {ID_APP_ABOUT, {"ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示", "ﾊﾞｰｼﾞｮﾝ情報"}},
        {ID_APP_EXIT, {"ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示", "終了"}},
        {ID_NEXT_PANE, {"次のｳｨﾝﾄﾞｳに切り替える", "次ﾍﾟｰｼﾞ"}},
        {ID_PREV_PANE, {"前のｳｨﾝﾄﾞｳに切り替える", "前ﾍﾟｰｼﾞ"}},
        {ID_VIEW_TOOLBAR, {"ﾂｰﾙ ﾊﾞｰの表示/非表示", "ﾂｰﾙ ﾊﾞｰの表示/非表示"}},
        {ID_VIEW_STATUS_BAR, {"ｽﾃｰﾀｽ ﾊﾞｰの表示/非表示", "ｽﾃｰﾀｽ ﾊﾞｰの表示/非表示"}},
    };
    for (int id = ID_FILE_MRU_FILE1; id < ID_FILE_MRU_FILE1 + 16; ++id)
        texts.insert(id, {QStringLiteral("指定のﾌｧｲﾙを開く"), {}});
    return texts;
}

} // namespace

CommandText TextOfCommand(int id) {
    static const QHash<int, CommandText> catalog = BuildCatalog();
    return catalog.value(id);
}
