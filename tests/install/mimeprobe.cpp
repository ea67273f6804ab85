// Prints, for each file name given, one line: the MIME type Qt picks from the name alone,
// whether it is a kind of text/plain, and its comment in English and in Japanese.

#include <QCoreApplication>
#include <QLocale>
#include <QMimeDatabase>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QMimeDatabase database;
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    for (const QString& name : QCoreApplication::arguments().sliced(1)) {
        const QMimeType type = database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        QLocale::setDefault(QLocale::c());
        const QString english = type.comment();
        QLocale::setDefault(japanese);
        out << type.name() << '\t' << type.inherits(QStringLiteral("text/plain")) << '\t' << english
            << '\t' << type.comment() << '\n';
    }
    return 0;
}
