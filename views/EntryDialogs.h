#pragma once

#include "file/RoundTrip.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class BookEdits;
struct EntryNode;

// "アドレス詳細": the name and the addresses of one address entry, one address a line.
// OK stays refused while some changed text cannot be stored in the book, or would read back
// from the saved book differently.
class CAddressDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAddressDlg(QWidget* parent = nullptr);

    void loadFrom(const EntryNode& entry);
    // Only after the dialog was accepted: the typed text is known to be storable then.
    void storeInto(BookEdits& edits, EntryNode& entry) const;

public slots:
    void accept() override;

private:
    QString addressBoxText() const;
    QString addressesRefusal(const std::vector<std::string>& addresses) const;
    std::optional<std::string> encodedName(QString& refused) const;
    std::optional<std::vector<std::string>> encodedAddresses(QString& refused) const;

    QLineEdit* nameEdit_;
    QPlainTextEdit* addressEdit_;
    QLabel* errorLabel_;
    std::string originalName_;
    std::vector<std::string> originalAddresses_;
    QString loadedName_;
    QString loadedAddressText_;
};

// "グループ詳細": the name of one group.
class CGroupDlg : public QDialog {
    Q_OBJECT

public:
    explicit CGroupDlg(QWidget* parent = nullptr);

    void loadFrom(const EntryNode& entry);
    // Only after the dialog was accepted: the typed text is known to be storable then.
    void storeInto(BookEdits& edits, EntryNode& entry) const;

public slots:
    void accept() override;

private:
    std::optional<std::string> encodedName(QString& refused) const;

    QLineEdit* nameEdit_;
    QLabel* errorLabel_;
    std::string originalName_;
    QString loadedName_;
};

// For in-place renames in the panes: the bytes to store for text typed over `original`.
// Unchanged text (equal to how `original` displays) gives `original` back byte for byte.
// nullopt when CP932 cannot hold some character; then *refused (if given) lists those
// characters, each once, in order (a lone surrogate as U+FFFD).
std::optional<std::string> EncodeEditedText(const QString& text, const std::string& original,
                                            QString* refused = nullptr);

// For in-place renames: the bytes to store for text typed over original at place, or nullopt
// with refusal set to the message that says why the book cannot hold it (CP932 cannot, or it
// would read back differently from the saved book).
std::optional<std::string> StorableEditedText(const QString& text, const std::string& original,
                                              TextPlace place, QString& refusal);

// Why the entry's name or one of its addresses is too long for its dialog; empty when none is.
QString TooLongForDialog(const EntryNode& entry);

// The message shown when text is refused, naming the characters, e.g.
// "次の文字はアドレス帳に保存できません: 😀 ñ"
QString RefusedTextMessage(const QString& refusedCharacters);
