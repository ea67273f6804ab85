#include "document/BookEdits.h"
#include "model/EntryNode.h"
#include "model/EntryTree.h"
#include "tests/support/DialogLayout.h"
#include "views/EntryDialogs.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QtTest>

#include <memory>

namespace {

using ByteList = QList<QByteArray>;

// 纊 has two CP932 forms; the codec writes 0xFA5C, so 0xED40 only survives untouched.
const QByteArray kNecForm("\xED\x40");
const QByteArray kIbmForm("\xFA\x5C");
const QByteArray kInvalid("x\x80");           // shows as "x\uFFFD"
const QByteArray kWideSpace("\x81\x40");      // U+3000
const QByteArray kHanako("\x89\xd4\x8e\x71"); // 花子
const QString kRefusal = QStringLiteral("次の文字はアドレス帳に保存できません: ");
const QString kLoneHigh(QChar(0xD83D)); // halves of 😀, each alone
const QString kLoneLow(QChar(0xDE00));

// The dialogs store through the book that owns the entry.
EntryTree& Book() {
    static EntryTree book;
    return book;
}

BookEdits& Edits() {
    static BookEdits edits(Book());
    return edits;
}

EntryNode& Entry(const QByteArray& name, const ByteList& addresses) {
    std::vector<std::string> stored;
    for (const QByteArray& address : addresses)
        stored.push_back(address.toStdString());
    return *Book().NewEntry(EntryKind::Address, name.toStdString(), stored);
}

ByteList AddressesOf(const EntryNode& entry) {
    ByteList addresses;
    for (std::string_view address : entry.Addresses())
        addresses << QByteArray(address.data(), static_cast<qsizetype>(address.size()));
    return addresses;
}

template <class Widget> Widget& Child(const QDialog& dialog, const char* name) {
    auto* child = dialog.findChild<Widget*>(QLatin1String(name));
    if (!child)
        qFatal("the dialog has no %s", name);
    return *child;
}

bool Open(QDialog& dialog) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    return QTest::qWaitForWindowActive(&dialog);
}

// Types as a user would: ASCII on the keys, line breaks with Enter, anything else committed
// by the input method (a TAB too, since the Tab key moves the focus).
void Type(QWidget& widget, const QString& text) {
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at].unicode();
        if (unit == u'\n') {
            QTest::keyClick(&widget, Qt::Key_Return);
        } else if (unit >= u' ' && unit < 0x7F) {
            QTest::keyClick(&widget, char(unit));
        } else {
            const qsizetype length = text[at].isHighSurrogate() ? 2 : 1;
            QInputMethodEvent commit;
            commit.setCommitString(text.mid(at, length));
            QApplication::sendEvent(&widget, &commit);
            at += length - 1;
        }
    }
}

void ReplaceText(QWidget& widget, const QString& text) {
    QTest::keyClick(&widget, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&widget, Qt::Key_Delete);
    Type(widget, text);
}

void PressOk(QDialog& dialog) {
    QTest::mouseClick(&Child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
}

// Opens the dialog on the entry, types over the name (unless `typed` is null), presses Enter
// in the name box and stores what the dialog accepted.
template <class Dialog> QByteArray StoredName(const QByteArray& loaded, const QString& typed) {
    Dialog dialog;
    EntryNode& entry = Entry(loaded, {"kept"});
    dialog.loadFrom(entry);
    if (!Open(dialog))
        return "<not shown>";
    auto& nameEdit = Child<QLineEdit>(dialog, "nameEdit");
    if (!typed.isNull())
        ReplaceText(nameEdit, typed);
    QTest::keyClick(&nameEdit, Qt::Key_Return);
    if (dialog.result() != QDialog::Accepted || dialog.isVisible())
        return "<not accepted>";
    dialog.storeInto(Edits(), entry);
    if (AddressesOf(entry) != ByteList{"kept"})
        return "<addresses changed>";
    return QByteArray::fromStdString(std::string(entry.Name()));
}

} // namespace

class TestEntryDialogs : public QObject {
    Q_OBJECT

private slots:
    void loadShowsOneAddressALine_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<ByteList>("addresses");
        QTest::addColumn<QString>("nameText");
        QTest::addColumn<QString>("boxText");
        QTest::newRow("two") << QByteArray("taro") << ByteList{"a", "b"} << "taro"
                             << "a\nb\n";
        QTest::newRow("none") << QByteArray() << ByteList{} << ""
                              << "";
        QTest::newRow("one empty") << QByteArray("x") << ByteList{""} << "x"
                                   << "\n";
        QTest::newRow("CP932") << kNecForm << ByteList{kHanako, kIbmForm} << "纊"
                               << "花子\n纊\n";
        QTest::newRow("invalid byte") << kInvalid << ByteList{kInvalid} << "x\uFFFD"
                                      << "x\uFFFD\n";
    }
    void loadShowsOneAddressALine() {
        QFETCH(QByteArray, name);
        QFETCH(ByteList, addresses);
        CAddressDlg dialog;
        dialog.loadFrom(Entry(name, addresses));
        QTEST(Child<QLineEdit>(dialog, "nameEdit").text(), "nameText");
        QTEST(Child<QPlainTextEdit>(dialog, "addressEdit").toPlainText(), "boxText");
    }

    void addressesStoredAfterOk_data() {
        QTest::addColumn<ByteList>("loaded");
        QTest::addColumn<QString>("typed"); // null: the box is left alone
        QTest::addColumn<ByteList>("stored");
        const QString untouched;
        QTest::newRow("unchanged") << ByteList{"a", "b"} << untouched << ByteList{"a", "b"};
        QTest::newRow("blanks around") << ByteList{"a"} << " \t b \v\f\nc" << ByteList{"b", "c"};
        QTest::newRow("empty lines") << ByteList{} << "\na\n\n \nb\n\n" << ByteList{"a", "b"};
        QTest::newRow("last line without break") << ByteList{} << "a\nb" << ByteList{"a", "b"};
        QTest::newRow("last line of blanks") << ByteList{} << "a\n \t " << ByteList{"a"};
        QTest::newRow("full-width space kept") << ByteList{} << "\u3000a\u3000 \n"
                                               << ByteList{kWideSpace + "a" + kWideSpace};
        QTest::newRow("half-width kana and backslash") << ByteList{} << "ｶﾞｷ\\x\n"
                                                       << ByteList{"\xB6\xDE\xB7\\x"};
        // An entry keeps at least one address, as the book reads it back.
        QTest::newRow("box emptied") << ByteList{"a", "b"} << "" << ByteList{""};
        QTest::newRow("one empty address") << ByteList{""} << untouched << ByteList{""};
        QTest::newRow("blank address") << ByteList{"a", " \t"} << untouched << ByteList{"a"};
        QTest::newRow("odd bytes unchanged") << ByteList{kNecForm, kIbmForm, kInvalid} << untouched
                                             << ByteList{kNecForm, kIbmForm, kInvalid};
        QTest::newRow("blanks of a stored address unchanged")
            << ByteList{" a\t"} << untouched << ByteList{" a\t"};
        QTest::newRow("retyped as loaded") << ByteList{kNecForm} << "纊\n" << ByteList{kNecForm};
        QTest::newRow("lines reuse the bytes they show")
            << ByteList{kNecForm, kInvalid} << "x\uFFFD\n纊\n纊\n花子"
            << ByteList{kInvalid, kNecForm, kIbmForm, kHanako};
    }
    void addressesStoredAfterOk() {
        QFETCH(ByteList, loaded);
        QFETCH(QString, typed);
        EntryNode& entry = Entry("name", loaded);
        CAddressDlg dialog;
        dialog.loadFrom(entry);
        QVERIFY(Open(dialog));
        if (!typed.isNull())
            ReplaceText(Child<QPlainTextEdit>(dialog, "addressEdit"), typed);
        PressOk(dialog);
        QCOMPARE(dialog.result(), QDialog::Accepted);
        QVERIFY(!dialog.isVisible());
        dialog.storeInto(Edits(), entry);
        QTEST(AddressesOf(entry), "stored");
        QCOMPARE(entry.Name(), std::string_view("name"));
    }

    void nameStoredAsTyped_data() {
        QTest::addColumn<QByteArray>("loaded");
        QTest::addColumn<QString>("typed"); // null: the name is left alone
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("blanks kept") << QByteArray("x") << "\u3000taro " << kWideSpace + "taro ";
        QTest::newRow("emptied") << QByteArray("x") << "" << QByteArray();
        QTest::newRow("changed") << QByteArray("x") << "花子" << kHanako;
        QTest::newRow("two-byte form unchanged") << kNecForm << QString() << kNecForm;
        QTest::newRow("invalid byte unchanged") << kInvalid << QString() << kInvalid;
        QTest::newRow("retyped as loaded") << kNecForm << "纊" << kNecForm;
        QTest::newRow("edited") << kNecForm << "纊a" << kIbmForm + "a";
    }
    void nameStoredAsTyped() {
        QFETCH(QByteArray, loaded);
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        QCOMPARE(StoredName<CAddressDlg>(loaded, typed), stored);
        QCOMPARE(StoredName<CGroupDlg>(loaded, typed), stored);
    }

    void refusedTextKeepsDialogOpen_data() {
        QTest::addColumn<bool>("group");
        QTest::addColumn<QString>("name");    // null: left alone
        QTest::addColumn<QString>("address"); // null: left alone
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString untouched;
        QTest::newRow("name") << false << "a😀b😀" << untouched << kRefusal + "😀"
                              << "nameEdit";
        QTest::newRow("address") << false << untouched << "ok\n한ñ😀\n한" << kRefusal + "한 ñ 😀"
                                 << "addressEdit";
        QTest::newRow("both") << false << "한"
                              << "😀\n"
                              << kRefusal + "한 😀"
                              << "nameEdit";
        QTest::newRow("replacement character")
            << false << untouched << "x\uFFFD" << kRefusal + "\uFFFD"
            << "addressEdit";
        QTest::newRow("yen sign") << false << untouched << "\\\u00A5100" << kRefusal + "\u00A5"
                                  << "addressEdit";
        QTest::newRow("no-break space") << false << untouched << "a\u00A0b" << kRefusal + "U+00A0"
                                        << "addressEdit";
        QTest::newRow("invisible") << false << "a\u200Bb" << untouched << kRefusal + "U+200B"
                                   << "nameEdit";
        // An input method may commit half of a surrogate pair; it must not be stored as "?".
        QTest::newRow("lone surrogate") << false << untouched << "a" + kLoneLow + "\n"
                                        << kRefusal + "\uFFFD"
                                        << "addressEdit";
        QTest::newRow("group: lone surrogate")
            << true << kLoneHigh << untouched << kRefusal + "\uFFFD"
            << "nameEdit";
        QTest::newRow("group") << true << "ñ한ñ" << untouched << kRefusal + "ñ 한"
                               << "nameEdit";
        // Text CP932 holds but the saved book would read back as something else.
        QTest::newRow("comment") << false << "#1 担当" << untouched << "「#」"
                                 << "nameEdit";
        QTest::newRow("colon") << false << "歯医者: 駅前" << untouched << "「:」"
                               << "nameEdit";
        QTest::newRow("keyword") << false << "SEPARATOR" << untouched << "「SEPARATOR」"
                                 << "nameEdit";
        QTest::newRow("comma") << false << untouched << "a\nb,c"
                               << "「,」"
                               << "addressEdit";
        QTest::newRow("line break") << false << "x\rdn: y" << untouched << "改行"
                                    << "nameEdit";
        QTest::newRow("group: blank first") << true << "\tG" << untouched << "タブ"
                                            << "nameEdit";
    }
    void refusedTextKeepsDialogOpen() {
        QFETCH(bool, group);
        QFETCH(QString, name);
        QFETCH(QString, address);
        EntryNode& entry = Entry("old", {"a"});
        std::unique_ptr<QDialog> dialog = LoadedDialog(group, entry);
        QVERIFY(Open(*dialog));
        auto& nameEdit = Child<QLineEdit>(*dialog, "nameEdit");
        auto* box = dialog->findChild<QPlainTextEdit*>(QStringLiteral("addressEdit"));
        if (!name.isNull())
            ReplaceText(nameEdit, name);
        if (!address.isNull())
            ReplaceText(*box, address);
        auto& errorLabel = Child<QLabel>(*dialog, "errorLabel");
        QVERIFY(!errorLabel.isVisible());

        PressOk(*dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(errorLabel.isVisible());
        QVERIFY(errorLabel.geometry().top() >= nameEdit.geometry().bottom()); // laid out below
        QVERIFY(errorLabel.height() >= errorLabel.heightForWidth(errorLabel.width())); // whole
        QFETCH(QString, message);
        QVERIFY2(errorLabel.text().contains(message), qPrintable(errorLabel.text()));
        QTEST(dialog->focusWidget()->objectName(), "focus");
        QCOMPARE(nameEdit.text(), name.isNull() ? "old" : name);
        if (!address.isNull())
            QCOMPARE(box->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n'),
                     address);

        ReplaceText(nameEdit, "new");
        if (box)
            ReplaceText(*box, "b");
        PressOk(*dialog);
        QCOMPARE(dialog->result(), QDialog::Accepted);
    }

    // Shift+Enter puts a line separator in rather than a new paragraph; it ends a line too.
    void enterInAddressBoxAddsLine_data() {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("Enter") << Qt::KeyboardModifiers(Qt::NoModifier);
        QTest::newRow("Shift+Enter") << Qt::KeyboardModifiers(Qt::ShiftModifier);
    }
    void enterInAddressBoxAddsLine() {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        EntryNode& entry = Entry("name", {"a"});
        CAddressDlg dialog;
        dialog.loadFrom(entry);
        QVERIFY(Open(dialog));
        auto& box = Child<QPlainTextEdit>(dialog, "addressEdit");
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&box, Qt::Key_Return, modifiers);
        QTest::keyClick(&box, Qt::Key_B);
        QCOMPARE(box.toPlainText(), "a\n\nb");
        QVERIFY(dialog.isVisible());

        QTest::keyClick(&Child<QLineEdit>(dialog, "nameEdit"), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(dialog.result(), QDialog::Accepted);
        dialog.storeInto(Edits(), entry);
        QCOMPARE(AddressesOf(entry), (ByteList{"a", "b"}));
    }

    void cancelCloses_data() {
        QTest::addColumn<bool>("group");
        QTest::addColumn<QString>("how");
        QTest::newRow("escape in name box") << false << "nameEdit";
        QTest::newRow("escape in address box") << false << "addressEdit";
        QTest::newRow("cancel button") << false << "cancelButton";
        QTest::newRow("close box") << false << "";
        QTest::newRow("group: escape") << true << "nameEdit";
        QTest::newRow("group: cancel button") << true << "cancelButton";
    }
    void cancelCloses() {
        QFETCH(bool, group);
        QFETCH(QString, how);
        EntryNode& entry = Entry("name", {"a"});
        std::unique_ptr<QDialog> dialog = LoadedDialog(group, entry);
        QVERIFY(Open(*dialog));
        ReplaceText(Child<QLineEdit>(*dialog, "nameEdit"), "changed");
        if (how.isEmpty())
            QVERIFY(dialog->close());
        else if (how == "cancelButton")
            QTest::mouseClick(&Child<QPushButton>(*dialog, "cancelButton"), Qt::LeftButton);
        else
            QTest::keyClick(&Child<QWidget>(*dialog, how.toLatin1().constData()), Qt::Key_Escape);
        QCOMPARE(dialog->result(), QDialog::Rejected);
        QVERIFY(!dialog->isVisible());
    }

    void tabOrder_data() {
        QTest::addColumn<bool>("group");
        QTest::addColumn<QStringList>("chain");
        QTest::newRow("address") << false
                                 << QStringList{"nameEdit", "addressEdit", "okButton",
                                                "cancelButton", "nameEdit"};
        QTest::newRow("group") << true
                               << QStringList{"nameEdit", "okButton", "cancelButton", "nameEdit"};
    }
    void tabOrder() {
        QFETCH(bool, group);
        QFETCH(QStringList, chain);
        EntryNode& entry = Entry("name", {"a"});
        std::unique_ptr<QDialog> dialog = LoadedDialog(group, entry);
        QVERIFY(Open(*dialog));
        QStringList visited{QApplication::focusWidget()->objectName()};
        while (visited.size() < chain.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, chain);
    }

    // Both dialogs at their own size: nothing overlaps, each label is left of its field, also
    // with a refusal shown.
    void dialogsAreLaidOutCleanly() {
        for (bool group : {false, true}) {
            std::unique_ptr<QDialog> dialog = LoadedDialog(group, Entry("old", {"a"}));
            // As tall as the original's dialog units, eighths of a line, unless its content
            // needs more.
            QCOMPARE(dialog->height(),
                     std::max((group ? 49 : 93) * dialog->fontMetrics().height() / 8,
                              dialog->minimumSizeHint().height()));
            QCOMPARE(DialogLayoutProblems(*dialog), QStringList());
            QVERIFY(Open(*dialog));
            ReplaceText(Child<QLineEdit>(*dialog, "nameEdit"), "#x");
            PressOk(*dialog);
            QCOMPARE(DialogLayoutProblems(*dialog), QStringList());
        }
    }

    // More than an editor takes is refused at OK, not stored and not cut.
    void tooLongANameIsRefused() {
        EntryNode& entry = Entry("old", {"a"});
        std::unique_ptr<QDialog> dialog = LoadedDialog(false, entry);
        QVERIFY(Open(*dialog));
        Child<QLineEdit>(*dialog, "nameEdit").setText(QString(40000, u'名'));
        PressOk(*dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(Child<QLabel>(*dialog, "errorLabel").text().contains(QStringLiteral("長すぎる")));
    }

    void encodeEditedText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<bool>("storable");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refused");
        QTest::newRow("unchanged two-byte form") << "纊" << kNecForm << true << kNecForm << "";
        QTest::newRow("unchanged invalid byte") << "x\uFFFD" << kInvalid << true << kInvalid << "";
        QTest::newRow("changed") << "花子" << kInvalid << true << kHanako << "";
        QTest::newRow("emptied") << "" << QByteArray("a") << true << QByteArray() << "";
        QTest::newRow("refused once each, in order")
            << "😀a한😀ñ한" << QByteArray("a") << false << QByteArray() << "😀한ñ";
        QTest::newRow("characters sharing a surrogate")
            << "😀😁😀" << QByteArray("a") << false << QByteArray() << "😀😁";
        QTest::newRow("replacement character typed")
            << "y\uFFFD" << kInvalid << false << QByteArray() << "\uFFFD";
        QTest::newRow("lone surrogate")
            << kLoneLow << QByteArray("a") << false << QByteArray() << "\uFFFD";
        QTest::newRow("lone surrogates never read as a pair")
            << kLoneHigh + "x" + kLoneLow << QByteArray("a") << false << QByteArray() << "\uFFFD";
    }
    void encodeEditedText() {
        QFETCH(QString, text);
        QFETCH(QByteArray, original);
        QFETCH(bool, storable);
        QString refused = QStringLiteral("from before");
        const std::optional<std::string> bytes =
            EncodeEditedText(text, original.toStdString(), &refused);
        QCOMPARE(bytes.has_value(), storable);
        if (bytes)
            QTEST(QByteArray::fromStdString(*bytes), "bytes");
        QTEST(refused, "refused");
    }

private:
    static std::unique_ptr<QDialog> LoadedDialog(bool group, const EntryNode& entry) {
        if (group) {
            auto dialog = std::make_unique<CGroupDlg>();
            dialog->loadFrom(entry);
            return dialog;
        }
        auto dialog = std::make_unique<CAddressDlg>();
        dialog->loadFrom(entry);
        return dialog;
    }
};

QTEST_MAIN(TestEntryDialogs)
#include "tst_entrydialogs.moc"
