#pragma once

// The steps of the random session: what a person does, each with a number that every choice
// of the step is drawn from; and the books and texts the session works with.
#include "tests/support/SessionModel.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace session {

// splitmix64: the same numbers from the same seed on every platform and library.
class Rng {
public:
    explicit Rng(quint64 seed) : state_(seed) {}
    quint64 next() {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T> T pick(const QList<T>& list) { return list[below(int(list.size()))]; }

private:
    quint64 state_;
};

// ---- Steps: an action and a number from which the step draws every choice it makes, so a
// step means something sensible whatever state the steps before it left.

enum class Act {
    TreeClick,
    TreeKey,
    ListClick,
    ListKey,
    OtherPane,
    Insert,
    Properties,
    Rename,
    Move,
    Delete,
    RowDoubleClick,
    TreeDoubleClick,
    TreeDrag,
    ListDrag,
    NewBook,
    Save,
    Open,
    Recent,
    LoadAt,
    Print,
    RightClickEmpty,
    UndoRedo,
};

struct ActInfo {
    Act act;
    const char* name;
    int weight; // per mille
};

inline const ActInfo kActs[] = {
    {Act::TreeClick, "tree-click", 90},
    {Act::TreeKey, "tree-key", 70},
    {Act::ListClick, "list-click", 110},
    {Act::ListKey, "list-key", 80},
    {Act::OtherPane, "pane", 25},
    {Act::Insert, "insert", 120},
    {Act::Properties, "props", 55},
    {Act::Rename, "rename", 55},
    {Act::Move, "move", 70},
    {Act::Delete, "delete", 80},
    {Act::RowDoubleClick, "row-dclick", 40},
    {Act::TreeDoubleClick, "tree-dclick", 15},
    {Act::TreeDrag, "tree-drag", 50},
    {Act::ListDrag, "list-drag", 70},
    {Act::NewBook, "new", 8},
    {Act::Save, "save", 20},
    {Act::Open, "open", 10},
    {Act::Recent, "recent", 8},
    {Act::LoadAt, "load", 10},
    {Act::Print, "print", 2},
    {Act::RightClickEmpty, "rclick-empty", 10},
    {Act::UndoRedo, "undo-redo", 40},
};

struct Step {
    Act act;
    quint32 arg;
};

inline QString StepText(const Step& step) {
    for (const ActInfo& info : kActs) {
        if (info.act == step.act)
            return QStringLiteral("%1:%2").arg(QLatin1String(info.name)).arg(step.arg);
    }
    return QStringLiteral("?");
}

inline QString StepsText(const QList<Step>& steps) {
    QStringList texts;
    for (const Step& step : steps)
        texts << StepText(step);
    return texts.join(u' ');
}

inline std::optional<QList<Step>> ParseSteps(const QString& text) {
    QList<Step> steps;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString name = word.section(u':', 0, 0);
        bool ok = false;
        const quint32 arg = word.section(u':', 1).toUInt(&ok);
        const ActInfo* found = nullptr;
        for (const ActInfo& info : kActs) {
            if (name == QLatin1String(info.name))
                found = &info;
        }
        if (!found || !ok)
            return std::nullopt;
        steps.append({found->act, arg});
    }
    return steps;
}

inline QList<Step> GenerateSteps(quint64 seed, int count) {
    Rng rng(seed ^ 0x5eed5eed5eed5eedull);
    int total = 0;
    for (const ActInfo& info : kActs)
        total += info.weight;
    QList<Step> steps;
    for (int i = 0; i < count; ++i) {
        int roll = rng.below(total);
        const ActInfo* chosen = &kActs[0];
        for (const ActInfo& info : kActs) {
            if (roll < info.weight) {
                chosen = &info;
                break;
            }
            roll -= info.weight;
        }
        steps.append({chosen->act, quint32(rng.next())});
    }
    return steps;
}

// ---- Texts a person types or a book holds.

inline const QStringList kStorable = {
    "",       " ",       "alice", "山田 太郎", "ﾀﾛｳ", "ｶﾞｯｺｳ ﾉ ﾄﾓﾀﾞﾁ", "株式会社テスト",
    "  lead", "trail  ", "①②Ⅲ",   "x:y",       "Ω",   "全角　空白",    "セパレータ",
};
inline const QStringList kRefused = {"😀", "ñandú", "한국어", "名前😀"};
inline const QStringList kAddresses = {
    "taro@example.jp", "090-1234-5678", "東京都港区", "ｱﾄﾞﾚｽ", "  spaced  ", "a,b", ""};

inline QString PickText(Rng& rng, int refusedPercent) {
    return rng.chance(refusedPercent) ? rng.pick(kRefused) : rng.pick(kStorable);
}

// A small book: groups nested up to three deep, addresses with none to three addresses,
// separators, CP932 names with half-width kana; sometimes groups left open at the end.
inline QByteArray GenerateBook(Rng& rng) {
    QByteArray book;
    int depth = 0;
    const int lines = 16 + rng.below(20);
    for (int i = 0; i < lines; ++i) {
        const QByteArray indent(2 * depth, ' ');
        if (depth < 3 && rng.chance(22)) {
            book += indent + "GROUP " + Cp932(rng.pick(kStorable)) + "\r\n";
            ++depth;
        } else if (depth > 0 && rng.chance(35)) {
            book += QByteArray(2 * (depth - 1), ' ') + "END GROUP\r\n";
            --depth;
        } else if (rng.chance(12)) {
            book += indent + "SEPARATOR\r\n";
        } else {
            QStringList addresses;
            for (int n = rng.below(4); n > 0; --n)
                addresses << rng.pick(kAddresses).remove(u',');
            book += indent + Cp932(rng.pick(kStorable).remove(u':')) + ": " +
                    Cp932(addresses.join(u',')) + "\r\n";
        }
    }
    while (depth > 0 && rng.chance(70)) {
        --depth;
        book += QByteArray(2 * depth, ' ') + "END GROUP\r\n";
    }
    return book;
}

inline QByteArray OtherBook() {
    return Cp932("GROUP 他の本\r\n  ﾖﾐｺﾐ: a@b.jp,c@d.jp\r\n  GROUP 入れ子\r\n"
                 "  END GROUP\r\nEND GROUP\r\n読込: x\r\nSEPARATOR\r\n");
}

} // namespace session
