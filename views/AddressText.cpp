#include "AddressText.h"

#include "DisplayText.h"

#include <algorithm>
#include <iterator>

namespace {

std::optional<std::string> Cp932Of(const QString& text) {
    if (!text.isValidUtf16())
        return std::nullopt; // Qt would hand a lone surrogate over as "?"
    return Utf8ToCp932(text.toStdString());
}

// Appends each character of `text` that CP932 cannot store, unless `refused` has it already.
// A lone surrogate is listed as U+FFFD, as the message shows it anyway: two halves of a pair
// refused apart must not join into a character nobody typed.
void CollectRefused(const QString& text, QString& refused) {
    for (qsizetype at = 0; at < text.size();) {
        const bool pair =
            text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
        const QString character = text.mid(at, pair ? 2 : 1);
        const QString listed =
            character.isValidUtf16() ? character : QString(QChar::ReplacementCharacter);
        if (!Cp932Of(character) && !refused.contains(listed))
            refused += listed;
        at += character.size();
    }
}

bool IsBlank(QChar character) {
    return character == u' ' || character == u'\t' || character == u'\n' || character == u'\v' ||
           character == u'\f' || character == u'\r';
}

bool IsBlankBytes(const std::string& bytes) {
    // CP932 trail bytes are never below 0x40, so a blank byte is always a blank character.
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char byte) { return IsBlank(QChar(static_cast<uchar>(byte))); });
}

QString PlaceName(TextPlace place) {
    switch (place) {
    case TextPlace::GroupName:
        return QStringLiteral("グループ名");
    case TextPlace::EntryName:
        return QStringLiteral("名前");
    case TextPlace::FirstAddress:
    case TextPlace::LaterAddress:
        break;
    }
    return QStringLiteral("アドレス");
}

QString BlankName(char blank) {
    switch (blank) {
    case ' ':
        return QStringLiteral("空白");
    case '\t':
        return QStringLiteral("タブ");
    default:
        return QStringLiteral("U+%1").arg(int(blank), 4, 16, QLatin1Char('0')).toUpper();
    }
}

// What a line would read as when a name starts with its keyword.
QString KeywordReading(std::string_view keyword) {
    if (keyword == "#")
        return QStringLiteral("コメント行として読み飛ばされ、この項目は失われます");
    if (keyword == "GROUP")
        return QStringLiteral("グループの始まりとして読まれ、後の項目がそのグループに入ります");
    if (keyword == "END GROUP")
        return QStringLiteral("グループの終わりとして読まれ、この項目は失われます");
    return QStringLiteral("セパレータとして読まれ、名前とアドレスは失われます");
}

} // namespace

QString RoundTripRefusal(std::string_view bytes, TextPlace place) {
    const RoundTripCheck check = CheckRoundTrip(bytes, place);
    const QString where = PlaceName(place);
    switch (check.fault) {
    case RoundTripFault::None:
        return {};
    case RoundTripFault::LineBreak:
        return QStringLiteral("%1に改行は使えません: 保存すると行が分かれ、別の行として読まれます")
            .arg(where);
    case RoundTripFault::LeadingBlank:
        return QStringLiteral("%1の先頭の%2は保存できません: 読み込むときに取り除かれます")
            .arg(where, BlankName(bytes[check.at]));
    case RoundTripFault::Keyword: {
        const std::string_view keyword = bytes.substr(check.at, check.length);
        return QStringLiteral("名前を「%1」で始めることはできません: 保存すると%2")
            .arg(QString::fromLatin1(keyword.data(), qsizetype(keyword.size())),
                 KeywordReading(keyword));
    }
    case RoundTripFault::NameColon:
        return QStringLiteral("名前に「:」は使えません: 保存すると「:」より後ろがアドレスとして"
                              "読まれます");
    case RoundTripFault::AddressComma:
        return QStringLiteral("アドレスに「,」は使えません: 保存すると「,」で二つのアドレスに"
                              "分かれます。別の行に分けて入力してください");
    }
    return {};
}

QString AddressesRefusal(const std::vector<std::string>& addresses) {
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const QString refusal = RoundTripRefusal(addresses[i], i == 0 ? TextPlace::FirstAddress
                                                                      : TextPlace::LaterAddress);
        if (!refusal.isEmpty())
            return refusal;
    }
    return {};
}

QString TooLongToEdit(std::size_t bytes) {
    if (bytes <= kLongestEditedText)
        return {};
    return QStringLiteral("長すぎるため、ここでは編集できません (%1 バイト; 編集できるのは %2 "
                          "バイトまでです)")
        .arg(bytes)
        .arg(kLongestEditedText);
}

QString TrimBlanks(const QString& line) {
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && IsBlank(line[begin]))
        ++begin;
    while (end > begin && IsBlank(line[end - 1]))
        --end;
    return line.sliced(begin, end - begin);
}

QStringList AddressLines(const QString& boxText) {
    QStringList lines;
    // A CR ends a line as LF does, CR LF included: the empty piece between them is dropped.
    for (const QString& line : QString(boxText).replace(u'\r', u'\n').split(u'\n')) {
        QString address = TrimBlanks(line);
        if (!address.isEmpty())
            lines << address;
    }
    return lines;
}

std::optional<std::string> EncodeText(const QString& text, QString& refused) {
    std::optional<std::string> bytes = Cp932Of(text);
    if (!bytes)
        CollectRefused(text, refused);
    return bytes;
}

std::optional<std::vector<std::string>>
EncodeAddressLines(const QStringList& lines, const std::vector<std::string>& originals,
                   QString& refused) {
    std::vector<QString> originalTexts;
    for (const std::string& original : originals)
        originalTexts.push_back(DisplayText(original));
    std::vector<std::string> addresses;
    bool storable = true;
    for (const QString& line : lines) {
        const auto match = std::find(originalTexts.begin(), originalTexts.end(), line);
        if (match != originalTexts.end()) {
            addresses.push_back(originals[std::size_t(match - originalTexts.begin())]);
            match->clear(); // never empty as a line, so never matched again
        } else if (std::optional<std::string> bytes = EncodeText(line, refused)) {
            addresses.push_back(std::move(*bytes));
        } else {
            storable = false;
        }
    }
    if (!storable)
        return std::nullopt;
    return addresses;
}

std::vector<std::string> WithoutBlankAddresses(const std::vector<std::string>& addresses) {
    std::vector<std::string> kept;
    std::copy_if(addresses.begin(), addresses.end(), std::back_inserter(kept),
                 [](const std::string& address) { return !IsBlankBytes(address); });
    return kept;
}

QString AddressBoxText(const std::vector<std::string>& addresses) {
    QString box;
    for (const std::string& address : addresses)
        box += DisplayText(address) + u'\n';
    return box;
}
