#include "EntryClipboard.h"

#include "DisplayText.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactFormats.h"
#include "file/BookFormat.h"
#include "model/EntryTree.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>

#include <algorithm>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

const QString EntryClipboard::kBookFormat = QStringLiteral("application/x-tellwick-book");

namespace {

const QString kVCardFormats[] = {QStringLiteral("text/vcard"), QStringLiteral("text/x-vcard")};
// Where pasted contact text came from, as the import messages name it.
const QString kClipboardName = QStringLiteral("クリップボードの内容");

// The line a mail program takes for an address entry: "name <mail>" for its first address
// that is a mail address, else "name: addresses".
QString PlainLine(const EntryNode& entry) {
    const QString name = DisplayText(entry.Name());
    if (entry.IsGroup())
        return name;
    QStringList addresses;
    for (std::string_view address : entry.Addresses()) {
        const QString shown = DisplayText(address);
        if (shown.contains(u'@') && !shown.contains(u' '))
            return QStringLiteral("%1 <%2>").arg(name, shown);
        addresses << shown;
    }
    return name + QStringLiteral(": ") + addresses.join(u',');
}

QString PlainText(std::span<const EntryNode* const> entries) {
    QStringList lines;
    std::vector<const EntryNode*> pending(entries.rbegin(), entries.rend());
    while (!pending.empty()) {
        const EntryNode* entry = pending.back();
        pending.pop_back();
        if (entry->kind != EntryKind::Separator)
            lines << PlainLine(*entry);
        std::vector<const EntryNode*> children;
        for (const EntryNode* child = entry->firstChild; child; child = child->next)
            children.push_back(child);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return lines.join(u'\n') + u'\n';
}

// "Name <mail>" or a bare mail address, one a line.
std::optional<std::pair<QString, QString>> ParseAddressLine(const QString& line) {
    static const QRegularExpression named(
        QStringLiteral("^\\s*(.*?)\\s*<([^<>\\s]+@[^<>\\s]+)>\\s*$"));
    static const QRegularExpression bare(QStringLiteral("^\\s*([^<>\\s]+@[^<>\\s]+)\\s*$"));
    if (const QRegularExpressionMatch match = named.match(line); match.hasMatch())
        return std::pair{match.captured(1), match.captured(2)};
    if (const QRegularExpressionMatch match = bare.match(line); match.hasMatch())
        return std::pair{match.captured(1), match.captured(1)};
    return std::nullopt;
}

QString VCardEscaped(QString text) {
    return text.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u',', QStringLiteral("\\,"))
        .replace(u';', QStringLiteral("\\;"));
}

// Address lines as vCard text, so that they are read in as any contact is; empty when some
// line is none.
std::string AddressLinesAsVCards(const QString& text) {
    QString cards;
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("\\r\\n|\\r|\\n")))) {
        if (line.trimmed().isEmpty())
            continue;
        const auto parsed = ParseAddressLine(line);
        if (!parsed)
            return {};
        cards += QStringLiteral("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:%1\r\nEMAIL:%2\r\nEND:VCARD\r\n")
                     .arg(VCardEscaped(parsed->first), VCardEscaped(parsed->second));
    }
    return cards.toStdString();
}

bool HasVCardFormat(const QMimeData& data) {
    return std::any_of(std::begin(kVCardFormats), std::end(kVCardFormats),
                       [&data](const QString& format) { return data.hasFormat(format); });
}

// Plain text longer than this is no list of addresses someone copied: it is not parsed line by
// line each time the clipboard changes.
constexpr qsizetype kLongestAddressList = 1 << 20;

// The contact text the data holds, as vCards; nullopt when there is none.
std::optional<std::string> ContactText(const QMimeData& data) {
    for (const QString& format : kVCardFormats) {
        if (data.hasFormat(format))
            return data.data(format).toStdString();
    }
    if (!data.hasText())
        return std::nullopt;
    const QString text = data.text();
    if (ContactFormatForText(text.left(64).toStdString()) == ContactFormat::VCard)
        return text.toStdString();
    if (text.size() > kLongestAddressList)
        return std::nullopt;
    std::string cards = AddressLinesAsVCards(text);
    return cards.empty() ? std::nullopt : std::optional(std::move(cards));
}

} // namespace

EntryClipboard::EntryClipboard() : QObject(qApp) {
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &EntryClipboard::clipboardChanged);
    clipboardChanged();
}

EntryClipboard& EntryClipboard::instance() {
    static EntryClipboard* watcher = new EntryClipboard; // owned by the application
    return *watcher;
}

// The clipboard is looked at when it changes, not every time a command state is asked.
void EntryClipboard::clipboardChanged() {
    pasteable_ = canPaste(QGuiApplication::clipboard()->mimeData());
}

QMimeData* EntryClipboard::mimeDataOf(std::span<const EntryNode* const> entries) {
    std::ostringstream book;
    WriteEntries(book, entries);
    auto* data = new QMimeData;
    data->setData(kBookFormat, QByteArray::fromStdString(book.str()));
    EntryTree copied;
    std::istringstream lines(book.str());
    ReadBook(lines, copied);
    std::ostringstream cards;
    ExportContacts(copied, ContactFormat::VCard, cards);
    data->setData(kVCardFormats[0], QByteArray::fromStdString(cards.str()));
    data->setText(PlainText(entries));
    return data;
}

void EntryClipboard::copy(std::span<const EntryNode* const> entries) {
    QGuiApplication::clipboard()->setMimeData(mimeDataOf(entries));
}

// Our own format and vCards are known by their names alone: their bytes, which may have to
// come from another program, are only fetched for a paste.
bool EntryClipboard::canPaste(const QMimeData* data) {
    return data && (data->hasFormat(kBookFormat) || HasVCardFormat(*data) ||
                    ContactText(*data).has_value());
}

IncomingRead EntryClipboard::read(const QMimeData* data, EntryTree& into, Prompter& prompter,
                                  QWidget* parent) {
    if (!data)
        return IncomingRead::Failed;
    if (data->hasFormat(kBookFormat)) {
        std::istringstream lines(data->data(kBookFormat).toStdString());
        ReadBook(lines, into);
        return IncomingRead::Read;
    }
    const std::optional<std::string> text = ContactText(*data);
    if (!text)
        return IncomingRead::Failed;
    return ReadContactText(kClipboardName, ContactFormat::VCard, *text, into, prompter, parent);
}
