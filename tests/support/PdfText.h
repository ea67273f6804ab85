#pragma once

// Printed pages read back with poppler's tools: the text of a PDF, its page count and the
// boxes of its words, and test books whose expected printout is known line by line.
#include "framework/Cp932.h"

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStringList>

inline QByteArray RunPoppler(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

// The text of pages first to last (0: to the end), pages separated by form feeds.
inline QString PdfText(const QString& pdf, int first = 1, int last = 0) {
    QStringList arguments{QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral("-f"),
                          QString::number(first)};
    if (last > 0)
        arguments << QStringLiteral("-l") << QString::number(last);
    arguments << pdf << QStringLiteral("-");
    return QString::fromUtf8(RunPoppler(QStringLiteral("pdftotext"), arguments));
}

inline bool IsPageNumberLine(const QString& line) {
    static const QRegularExpression pageNumber(QStringLiteral("^- ?\\d+ ?-$"));
    return pageNumber.match(line).hasMatch();
}

// The non-empty lines of a text, trimmed.
inline QStringList TextLines(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("[\\n\\f]")))) {
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    }
    return lines;
}

// The printed lines of pages first to last, without the page numbers.
inline QStringList PrintedLines(const QString& pdf, int first = 1, int last = 0) {
    QStringList lines = TextLines(PdfText(pdf, first, last));
    lines.removeIf(IsPageNumberLine);
    return lines;
}

inline int PdfPageCount(const QString& pdf) {
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    const QString info = QString::fromUtf8(RunPoppler(QStringLiteral("pdfinfo"), {pdf}));
    const QRegularExpressionMatch match = pages.match(info);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

struct PdfPage {
    QSizeF size; // in points
    QList<QPair<QString, QRectF>> words;
};

// Every page with its words and their boxes, from pdftotext's bounding-box output.
inline QList<PdfPage> PdfWordBoxes(const QString& pdf) {
    static const QRegularExpression tag(
        QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">|"
                       "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    const QString html = QString::fromUtf8(RunPoppler(
        QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
    QList<PdfPage> pages;
    for (const QRegularExpressionMatch& m : tag.globalMatch(html)) {
        if (!m.captured(1).isEmpty()) {
            pages.append({QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()), {}});
        } else if (!pages.isEmpty()) {
            const QRectF box(QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()),
                             QPointF(m.captured(5).toDouble(), m.captured(6).toDouble()));
            pages.last().words.append({m.captured(7), box});
        }
    }
    return pages;
}

// A book written line by line together with the lines its printout shows, in order.
class TestBook {
public:
    void group(const QString& name) {
        add(QStringLiteral("GROUP ") + name, {name});
        ++depth_;
    }
    void end() {
        --depth_;
        add(QStringLiteral("END GROUP"), {});
    }
    void address(const QString& name, const QStringList& addresses) {
        add(name + QStringLiteral(": ") + addresses.join(u','), QStringList{name} + addresses);
    }
    void separator() { add(QStringLiteral("SEPARATOR"), {}); }

    // The file's bytes: CP932 with CR LF line ends.
    QByteArray bytes() const {
        return QByteArray::fromStdString(
            *Utf8ToCp932(lines_.join(QStringLiteral("\r\n")).toStdString() + "\r\n"));
    }
    const QStringList& printed() const { return printed_; }

private:
    void add(const QString& line, const QStringList& printed) {
        lines_ << QString(depth_ * 2, u' ') + line;
        printed_ << printed;
    }

    QStringList lines_;
    QStringList printed_;
    int depth_ = 0;
};

// The example book of the repository, then a long group whose nested group falls on a
// later page.
inline TestBook SampleBookWithNestedGroupLater(int members = 80) {
    TestBook book;
    book.group(QStringLiteral("家族"));
    book.address(QStringLiteral("山田 太郎"),
                 {QStringLiteral("taro@yamada-ke.jp"), QStringLiteral("090-1234-5678")});
    book.address(QStringLiteral("山田 花子"), {QStringLiteral("hanako@yamada-ke.jp")});
    book.separator();
    book.group(QStringLiteral("親戚"));
    book.address(QStringLiteral("佐藤 健一"),
                 {QStringLiteral("kenichi.sato@example.ne.jp"), QStringLiteral("03-3456-7890"),
                  QStringLiteral("〒160-0022 東京都新宿区")});
    book.end();
    book.end();
    book.group(QStringLiteral("仕事"));
    book.group(QStringLiteral("株式会社ﾃｽﾄ"));
    book.address(QStringLiteral("高橋 誠 (営業部)"), {QStringLiteral("m.takahashi@test.co.jp")});
    book.end();
    book.group(QStringLiteral("取引先"));
    book.end();
    book.end();
    book.separator();
    book.address(QStringLiteral("近所の歯医者"), {QStringLiteral("0120-000-111")});
    book.group(QStringLiteral("名簿"));
    for (int i = 1; i <= members; ++i)
        book.address(QStringLiteral("会員 %1").arg(i, 3, 10, QChar(u'0')),
                     {QStringLiteral("member%1@example.jp").arg(i)});
    book.group(QStringLiteral("支部"));
    book.group(QStringLiteral("東京支部"));
    book.address(QStringLiteral("支部長 渡辺"),
                 {QStringLiteral("shibu@example.jp"), QStringLiteral("03-0000-0000")});
    book.end();
    book.end();
    book.end();
    return book;
}
