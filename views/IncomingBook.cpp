#include "IncomingBook.h"

#include "ImportErrorText.h"
#include "document/TellwickDoc.h"
#include "exchange/ContactFormats.h"
#include "exchange/ContactImport.h"
#include "file/LineReader.h"
#include "framework/FileErrors.h"
#include "framework/Prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <iterator>
#include <string>

namespace {

// Problems listed one a line; the rest are counted, so that the box stays on the screen.
constexpr qsizetype kProblemsShown = 10;

// Enough of a file's start to see its first line.
constexpr std::streamsize kFileStartBytes = 64;

// A file named for none of the formats may still be a vCard: contacts saved from a mail
// program or a phone often carry another extension or none. A .tlw is always a book.
std::optional<ContactFormat> FormatOf(const QString& path) {
    const std::string name = path.toStdString();
    if (const std::optional<ContactFormat> format = ContactFormatForPath(name))
        return format;
    if (QFileInfo(path).suffix().compare(QStringLiteral("tlw"), Qt::CaseInsensitive) == 0)
        return std::nullopt;
    std::string start(kFileStartBytes, '\0');
    const FileResult read = ReadRegularFile(path, [&start](std::istream& in) {
        in.read(start.data(), kFileStartBytes);
        start.resize(static_cast<std::size_t>(in.gcount()));
    });
    return read.ok() ? ContactFormatForText(start) : std::nullopt;
}

// The characters one by one, line breaks named so that the list keeps a record a line.
QString Listed(const std::string& characters) {
    QStringList listed;
    for (char32_t c : QString::fromStdString(characters).toUcs4())
        listed << (c == U'\n' || c == U'\r' ? QStringLiteral("改行") : QString::fromUcs4(&c, 1));
    return listed.join(u' ');
}

QString ProblemLine(const UnencodableText& problem) {
    QStringList parts;
    if (!problem.characters.empty())
        parts << Listed(problem.characters);
    if (!problem.misplaced.empty())
        parts << QStringLiteral("その位置に置けない文字 ") + Listed(problem.misplaced);
    return QStringLiteral("  %1 件目 (%2 行目): %3")
        .arg(problem.record)
        .arg(problem.line)
        .arg(parts.join(QStringLiteral(" / ")));
}

QString ProblemList(const ImportReport& report) {
    QStringList lines;
    for (const UnencodableText& problem : report.unencodable) {
        if (lines.size() == kProblemsShown) {
            lines << QStringLiteral("  ほか %1 件").arg(report.unencodable.size() - kProblemsShown);
            break;
        }
        lines << ProblemLine(problem);
    }
    return lines.join(u'\n');
}

bool AgreesToReplace(const QString& path, const ImportReport& report, Prompter& prompter,
                     QWidget* parent) {
    const QString text = QStringLiteral("%1\nには、アドレス帳に保存できない文字があります:\n%2\n\n"
                                        "これらの文字を \"?\" に置き換えて読み込みますか?")
                             .arg(QDir::toNativeSeparators(path), ProblemList(report));
    return prompter.ask(parent, QCoreApplication::applicationName(), text, Prompter::Buttons::YesNo,
                        Prompter::Icon::Warning, Prompter::Answer::No) == Prompter::Answer::Yes;
}

// Imports the contact file's text; an empty result with the error set when it is malformed.
ImportReport Import(ContactFormat format, const std::string& text, EntryTree& into, bool replace,
                    QString& error) {
    try {
        return ImportContacts(format, text, into, replace);
    } catch (const ImportError& malformed) {
        error = ImportErrorText(malformed);
    }
    return {};
}

IncomingRead ReadContactFile(const QString& path, ContactFormat format, EntryTree& into,
                             Prompter& prompter, QWidget* parent) {
    std::string text;
    const FileResult result =
        ReadRegularFile(path, [&text](std::istream& in) { text = ReadAll(in); });
    if (!result.ok()) {
        prompter.inform(parent, QCoreApplication::applicationName(),
                        OpenFailureText(path, result.error), Prompter::Icon::Warning);
        return IncomingRead::Failed;
    }
    return ReadContactText(path, format, text, into, prompter, parent);
}

} // namespace

IncomingRead ReadContactText(const QString& path, ContactFormat format, const std::string& text,
                             EntryTree& into, Prompter& prompter, QWidget* parent) {
    QString error;
    ImportReport report = Import(format, text, into, false, error);
    if (!report.unencodable.empty()) {
        if (!AgreesToReplace(path, report, prompter, parent))
            return IncomingRead::Declined;
        report = Import(format, text, into, true, error);
    }
    if (!error.isEmpty()) {
        prompter.inform(
            parent, QCoreApplication::applicationName(),
            QStringLiteral("%1\nを読み込めません。\n%2").arg(QDir::toNativeSeparators(path), error),
            Prompter::Icon::Warning);
        return IncomingRead::Failed;
    }
    return IncomingRead::Read;
}

QList<FileFilter> ContactFileFilters() {
    return {
        {QStringLiteral("vCard (*.vcf)"), ExtensionPatterns(QStringLiteral(".vcf"))},
        {QStringLiteral("CSV (*.csv)"), ExtensionPatterns(QStringLiteral(".csv"))},
    };
}

QList<FileFilter> IncomingBookFilters() {
    return QList<FileFilter>{
               {QStringLiteral("ｱﾄﾞﾚｽ帳ﾌｧｲﾙ"), ExtensionPatterns(QStringLiteral(".tlw"))}}
           << ContactFileFilters()
           << FileFilter{QStringLiteral("すべてのﾌｧｲﾙ(*.*)"), {QStringLiteral("*")}};
}

bool IsContactFile(const QString& path) {
    return FormatOf(path).has_value();
}

IncomingRead ReadIncomingBook(const QString& path, EntryTree& into, Prompter& prompter,
                              QWidget* parent) {
    if (const std::optional<ContactFormat> format = FormatOf(path))
        return ReadContactFile(path, *format, into, prompter, parent);
    const FileResult result = CTellwickDoc::ReadOtherBook(path, into);
    if (result.ok())
        return IncomingRead::Read;
    prompter.inform(parent, QCoreApplication::applicationName(),
                    OpenFailureText(path, result.error), Prompter::Icon::Warning);
    return IncomingRead::Failed;
}
