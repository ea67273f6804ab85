#include "EntryDialogs.h"

#include "document/BookEdits.h"

#include "AddressText.h"
#include "DisplayText.h"
#include "model/EntryTree.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include <algorithm>
#include <iterator>
#include <limits>

namespace {

std::optional<std::string> EncodeName(const QString& text, const QString& loaded,
                                      const std::string& original, QString& refused) {
    if (text == loaded)
        return original;
    return EncodeText(text, refused);
}

// A character the message can show as it is, or its code for one that would not be seen.
QString CharacterForMessage(char32_t character) {
    if (QChar::isPrint(character) && !QChar::isSpace(character))
        return QString::fromUcs4(&character, 1);
    return QStringLiteral("U+%1").arg(uint(character), 4, 16, QLatin1Char('0')).toUpper();
}

// A size in dialog units: a quarter of the average letter width across, an eighth of the line
// height down, so that a dialog's proportions follow its font.
QSize DialogUnits(const QWidget& dialog, int width, int height) {
    const QFontMetrics metrics(dialog.font());
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseWidth = (alphabet / 26 + 1) / 2;
    return {width * baseWidth / 4, height * metrics.height() / 8};
}

QLineEdit* MakeNameEdit(QWidget* dialog) {
    auto* edit = new QLineEdit(dialog);
    edit->setObjectName(QStringLiteral("nameEdit"));
    // Longer text is refused at OK; the limit only keeps a huge paste from freezing the box.
    edit->setMaxLength(int(kLongestEditedText));
    return edit;
}

QLabel* MakeBuddyLabel(const QString& text, QWidget* buddy, QWidget* dialog) {
    auto* label = new QLabel(text, dialog);
    label->setBuddy(buddy);
    return label;
}

QLabel* MakeErrorLabel(QWidget* dialog) {
    auto* label = new QLabel(dialog);
    label->setObjectName(QStringLiteral("errorLabel"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: red"));
    label->hide();
    return label;
}

// OK at the left, Cancel at the right; created last so they follow the fields in tab order.
QHBoxLayout* MakeButtonRow(QDialog* dialog) {
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), dialog);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(ok);
    row->addStretch();
    row->addWidget(cancel);
    return row;
}

// The reason wraps to as many lines as it needs; the dialog grows to show them all.
void ShowRefusal(QLabel& errorLabel, const QString& message, QWidget* field) {
    errorLabel.setText(message);
    errorLabel.show();
    QWidget* dialog = errorLabel.window();
    dialog->layout()->activate();
    errorLabel.setMinimumHeight(errorLabel.heightForWidth(errorLabel.width()));
    dialog->resize(dialog->size().expandedTo(dialog->minimumSizeHint()));
    field->setFocus();
}

// Why new bytes for a name cannot be stored; text the user left alone is never refused.
QString NameRefusal(const std::string& bytes, bool changed, TextPlace place) {
    if (!changed)
        return {};
    const QString tooLong = TooLongToEdit(bytes.size());
    return tooLong.isEmpty() ? RoundTripRefusal(bytes, place) : tooLong;
}

} // namespace

CAddressDlg::CAddressDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("addressDialog"));
    setWindowTitle(QStringLiteral("アドレス詳細"));
    nameEdit_ = MakeNameEdit(this);
    addressEdit_ = new QPlainTextEdit(this);
    addressEdit_->setObjectName(QStringLiteral("addressEdit"));
    addressEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    addressEdit_->setTabChangesFocus(true); // Tab leaves the box as in every other field
    errorLabel_ = MakeErrorLabel(this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(MakeBuddyLabel(QStringLiteral("名前"), nameEdit_, this), 0, 0);
    grid->addWidget(nameEdit_, 0, 1);
    grid->addWidget(MakeBuddyLabel(QStringLiteral("アドレス"), addressEdit_, this), 1, 0,
                    Qt::AlignTop);
    grid->addWidget(addressEdit_, 1, 1);
    grid->setRowStretch(1, 1);
    grid->addWidget(errorLabel_, 2, 0, 1, 2);
    grid->addLayout(MakeButtonRow(this), 3, 0, 1, 2);
    resize(DialogUnits(*this, 162, 93).expandedTo(minimumSizeHint()));
}

void CAddressDlg::loadFrom(const EntryNode& entry) {
    originalName_ = entry.Name();
    originalAddresses_ = entry.Addresses().ToStrings();
    nameEdit_->setText(DisplayText(entry.Name()));
    addressEdit_->setPlainText(AddressBoxText(originalAddresses_));
    // Read back rather than kept as built, so that only the user's edits count as changes.
    loadedName_ = nameEdit_->text();
    loadedAddressText_ = addressBoxText();
    errorLabel_->hide();
}

void CAddressDlg::storeInto(BookEdits& edits, EntryNode& entry) const {
    QString refused;
    std::optional<std::string> name = encodedName(refused);
    std::optional<std::vector<std::string>> addresses = encodedAddresses(refused);
    // Unchanged text keeps its bytes; OK is a step (and marks the book changed) all the same.
    if (!addresses)
        addresses = entry.Addresses().ToStrings();
    else if (addresses->empty())
        addresses->emplace_back(); // what the book reads back for an entry without any
    edits.setText(&entry, name ? *name : std::string(entry.Name()),
                  std::span<const std::string>(*addresses));
}

void CAddressDlg::accept() {
    QString refused;
    const std::optional<std::string> name = encodedName(refused);
    const std::optional<std::vector<std::string>> addresses = encodedAddresses(refused);
    if (!name || !addresses) {
        ShowRefusal(*errorLabel_, RefusedTextMessage(refused),
                    name ? static_cast<QWidget*>(addressEdit_) : nameEdit_);
        return;
    }
    if (const QString why =
            NameRefusal(*name, nameEdit_->text() != loadedName_, TextPlace::EntryName);
        !why.isEmpty()) {
        ShowRefusal(*errorLabel_, why, nameEdit_);
        return;
    }
    if (const QString why = addressesRefusal(*addresses); !why.isEmpty()) {
        ShowRefusal(*errorLabel_, why, addressEdit_);
        return;
    }
    QDialog::accept();
}

QString CAddressDlg::addressesRefusal(const std::vector<std::string>& addresses) const {
    if (addressBoxText() == loadedAddressText_)
        return {};
    for (const std::string& address : addresses) {
        if (const QString tooLong = TooLongToEdit(address.size()); !tooLong.isEmpty())
            return tooLong;
    }
    return AddressesRefusal(addresses);
}

// The box's text with every line break as "\n", including those Shift+Enter puts in.
QString CAddressDlg::addressBoxText() const {
    QString text = addressEdit_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

std::optional<std::string> CAddressDlg::encodedName(QString& refused) const {
    return EncodeName(nameEdit_->text(), loadedName_, originalName_, refused);
}

std::optional<std::vector<std::string>> CAddressDlg::encodedAddresses(QString& refused) const {
    const QString text = addressBoxText();
    if (text == loadedAddressText_)
        return WithoutBlankAddresses(originalAddresses_);
    return EncodeAddressLines(AddressLines(text), originalAddresses_, refused);
}

CGroupDlg::CGroupDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("groupDialog"));
    setWindowTitle(QStringLiteral("グループ詳細"));
    nameEdit_ = MakeNameEdit(this);
    errorLabel_ = MakeErrorLabel(this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(MakeBuddyLabel(QStringLiteral("グループ名"), nameEdit_, this), 0, 0);
    grid->addWidget(nameEdit_, 0, 1);
    grid->addWidget(errorLabel_, 1, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->addLayout(MakeButtonRow(this), 3, 0, 1, 2);
    resize(DialogUnits(*this, 163, 49).expandedTo(minimumSizeHint()));
}

void CGroupDlg::loadFrom(const EntryNode& entry) {
    originalName_ = entry.Name();
    nameEdit_->setText(DisplayText(entry.Name()));
    loadedName_ = nameEdit_->text();
    errorLabel_->hide();
}

void CGroupDlg::storeInto(BookEdits& edits, EntryNode& entry) const {
    QString refused;
    const std::optional<std::string> name = encodedName(refused);
    edits.setName(&entry, name ? *name : std::string(entry.Name()));
}

void CGroupDlg::accept() {
    QString refusal;
    if (StorableEditedText(nameEdit_->text(), originalName_, TextPlace::GroupName, refusal))
        QDialog::accept();
    else
        ShowRefusal(*errorLabel_, refusal, nameEdit_);
}

std::optional<std::string> CGroupDlg::encodedName(QString& refused) const {
    return EncodeName(nameEdit_->text(), loadedName_, originalName_, refused);
}

std::optional<std::string> EncodeEditedText(const QString& text, const std::string& original,
                                            QString* refused) {
    QString found;
    std::optional<std::string> bytes = EncodeName(text, DisplayText(original), original, found);
    if (refused)
        *refused = found;
    return bytes;
}

std::optional<std::string> StorableEditedText(const QString& text, const std::string& original,
                                              TextPlace place, QString& refusal) {
    QString refused;
    std::optional<std::string> bytes = EncodeEditedText(text, original, &refused);
    if (!bytes) {
        refusal = RefusedTextMessage(refused);
        return std::nullopt;
    }
    refusal = NameRefusal(*bytes, text != DisplayText(original), place);
    if (!refusal.isEmpty())
        return std::nullopt;
    return bytes;
}

QString TooLongForDialog(const EntryNode& entry) {
    std::size_t longest = entry.Name().size();
    for (std::string_view address : entry.Addresses())
        longest = std::max(longest, address.size());
    return TooLongToEdit(longest);
}

QString RefusedTextMessage(const QString& refusedCharacters) {
    QStringList shown;
    for (char32_t character : refusedCharacters.toUcs4())
        shown << CharacterForMessage(character);
    return QStringLiteral("次の文字はアドレス帳に保存できません: ") + shown.join(u' ');
}
