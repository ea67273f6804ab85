// Printing from the window, the command line and the shell's requests, into PDF files read
// back with poppler's tools. The tests run with an unreachable print server: no printer.
#include "app/ShellSocketPlace.h"
#include "framework/StandardCommands.h"
#include "tests/support/PaneFixture.h"
#include "tests/support/PdfText.h"

#include <QLabel>
#include <QLocalSocket>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What choosing "print to file" in the print dialog does, with an optional page range.
std::function<bool(QPrinter&)> PrintToPdf(const QString& path, int from = 0, int to = 0) {
    return [=](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        if (from > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(from, to);
        }
        return true;
    };
}

QWidget* ShownProgressDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("printProgress") && widget->isVisible())
            return widget;
    }
    return nullptr;
}

void SendShellRequest(const QString& request) {
    QLocalSocket shell;
    shell.connectToServer(
        ShellSocketPath(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()));
    QVERIFY(shell.waitForConnected(2000));
    shell.write(request.toUtf8() + '\n');
    QVERIFY(shell.waitForBytesWritten(2000));
    shell.disconnectFromServer();
}

// Clicks ｷｬﾝｾﾙ in the progress dialog as the first page is drawn.
void CancelAtFirstPage(QObject* context) {
    QMetaObject::invokeMethod(
        context,
        [] {
            if (QWidget* progress = ShownProgressDialog())
                progress->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        },
        Qt::QueuedConnection);
}

// Files may grow to this size only while it lives: writes beyond fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, old_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// What is at the path, as lstat sees it; 0 when nothing is there.
mode_t FileTypeAt(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

} // namespace

class TestPrinting : public PaneFixture {
    Q_OBJECT

private:
    const TestBook book_ = SampleBookWithNestedGroupLater();

    // Every line the book's printout shows, titled with the book's file name.
    QStringList printedBook(const TestBook& book) const {
        return QStringList{QStringLiteral("book.tlw")} + book.printed();
    }
    QString pdf(const QString& name) const { return dir_.filePath(name + QStringLiteral(".pdf")); }

    // The application started with these arguments; false when start-up ended it.
    CTellwickApp& start(const QStringList& args, bool expectRunning) {
        closeApp();
        prompter_ = std::make_unique<ScriptedPrompter>();
        app_ = std::make_unique<CTellwickApp>(*prompter_, dir_.filePath("tellwick.INI"));
        const bool running = app_->initInstance(args);
        [&] { QCOMPARE(running, expectRunning); }();
        return *app_;
    }
    void press(QWidget* focus, int key, Qt::KeyboardModifiers modifiers) {
        QApplication::setActiveWindow(&app_->frame());
        QVERIFY(QTest::qWaitForWindowActive(&app_->frame()));
        focus->setFocus();
        QTest::keyClick(&app_->frame(), key, modifiers);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY2(QPrinterInfo::availablePrinterNames().isEmpty(),
                 "the tests must not reach a print server (CUPS_SERVER)");
    }
    void cleanup() {
        closeApp();
        QDir dir(dir_.path());
        for (const QString& name : dir.entryList({"*.pdf", "tellwick.INI"}, QDir::Files))
            dir.remove(name);
    }

    // Ctrl+P shows the print dialog, then prints the whole book whichever pane is active;
    // a cancelled dialog prints and says nothing.
    void ctrlPPrintsTheBookThroughTheDialog() {
        open(book_.bytes());
        prompter_->printDialogScript = PrintToPdf(pdf("tree"));
        press(&tree(), Qt::Key_P, Qt::ControlModifier);
        prompter_->printDialogScript = PrintToPdf(pdf("list"));
        press(&list(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(prompter_->printDialogsShown, 2);
        QCOMPARE(PrintedLines(pdf("tree")), printedBook(book_));
        QCOMPARE(PrintedLines(pdf("list")), printedBook(book_));

        prompter_->printDialogScript = nullptr;
        press(&tree(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(prompter_->printDialogsShown, 3);
        QVERIFY(prompter_->shown.isEmpty());
        QCOMPARE(QDir(dir_.path()).entryList({"*.pdf"}).size(), 2);
    }

    // A page range chosen in the dialog prints those pages as they are in the whole book.
    void theDialogsPageRangeIsKept() {
        open(SampleBookWithNestedGroupLater(200).bytes());
        prompter_->printDialogScript = PrintToPdf(pdf("whole"));
        app_->router().execute(ID_FILE_PRINT);
        prompter_->printDialogScript = PrintToPdf(pdf("page-2"), 2, 2);
        app_->router().execute(ID_FILE_PRINT);
        QVERIFY(PdfPageCount(pdf("whole")) >= 3);
        QCOMPARE(PdfPageCount(pdf("page-2")), 1);
        QCOMPARE(TextLines(PdfText(pdf("page-2"))), TextLines(PdfText(pdf("whole"), 2, 2)));
    }

    // The preview lays out the very pages that print; "PreviewPages" shows one page or two
    // side by side, and 0 or none leaves the preview's own single page.
    void previewShowsThePagesThatPrint_data() {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<QPrintPreviewWidget::ViewMode>("mode");
        QTest::newRow("no setting") << QByteArray() << QPrintPreviewWidget::SinglePageView;
        QTest::newRow("0") << QByteArray("0") << QPrintPreviewWidget::SinglePageView;
        QTest::newRow("1") << QByteArray("1") << QPrintPreviewWidget::SinglePageView;
        QTest::newRow("2") << QByteArray("2") << QPrintPreviewWidget::FacingPagesView;
        QTest::newRow("more than two") << QByteArray("7") << QPrintPreviewWidget::FacingPagesView;
    }
    void previewShowsThePagesThatPrint() {
        QFETCH(QByteArray, profile);
        if (!profile.isEmpty())
            writeFile(QStringLiteral("tellwick.INI"), "[Settings]\r\nPreviewPages=" + profile);
        open(SampleBookWithNestedGroupLater(200).bytes());
        prompter_->printDialogScript = PrintToPdf(pdf("printed"));
        app_->router().execute(ID_FILE_PRINT);
        app_->router().execute(ID_FILE_PRINT_PREVIEW);

        QCOMPARE(prompter_->previews.size(), 1);
        QVERIFY(PdfPageCount(pdf("printed")) >= 3);
        QCOMPARE(prompter_->previews[0].pageCount, PdfPageCount(pdf("printed")));
        QTEST(prompter_->previews[0].viewMode, "mode");
    }

    void cancellingTheProgressDialogStopsTheJob_data() {
        QTest::addColumn<QByteArray>("earlier"); // the file there before, empty for none
        QTest::newRow("new file") << QByteArray();
        QTest::newRow("over an earlier PDF") << QByteArray("%PDF-1.4 earlier\n%%EOF\n");
    }

    // ｷｬﾝｾﾙ in the progress dialog stops the job: the half-written file goes, an earlier one
    // stays as it was, and since the user chose it, nothing is reported.
    void cancellingTheProgressDialogStopsTheJob() {
        QFETCH(QByteArray, earlier);
        if (!earlier.isEmpty())
            writeFile(QStringLiteral("cancelled.pdf"), earlier);
        open(SampleBookWithNestedGroupLater(300).bytes());
        prompter_->printDialogScript = PrintToPdf(pdf("cancelled"));
        QStringList shownLines;
        // Runs as the first page lets the dialog answer the user.
        QMetaObject::invokeMethod(
            this,
            [&shownLines] {
                QWidget* progress = ShownProgressDialog();
                QVERIFY(progress);
                for (QLabel* label : progress->findChildren<QLabel*>())
                    shownLines << label->text();
                progress->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
            },
            Qt::QueuedConnection);
        app_->router().execute(ID_FILE_PRINT);

        QCOMPARE(shownLines, (QStringList{"印刷中", "book.tlw", "を", "PDF",
                                          pdf("cancelled") + " へ", "ﾍﾟｰｼﾞ 1"}));
        QFile left(pdf("cancelled"));
        QCOMPARE(left.open(QIODevice::ReadOnly) ? left.readAll() : QByteArray(), earlier);
        QCOMPARE(left.exists(), !earlier.isEmpty());
        QVERIFY(prompter_->shown.isEmpty());
        QVERIFY(!ShownProgressDialog());
    }

    // A job that stops half way removes its PDF only when it made the file itself: a file
    // that was there before stays, and a failure is told.
    void aStoppedJobRemovesOnlyAFileItMade_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("existed");
        QTest::newRow("cancelled, file was there") << true << true;
        QTest::newRow("write failed, file was there") << false << true;
        QTest::newRow("write failed, new file") << false << false;
    }
    void aStoppedJobRemovesOnlyAFileItMade() {
        QFETCH(bool, cancel);
        QFETCH(bool, existed);
        open(SampleBookWithNestedGroupLater(300).bytes());
        const QString target = pdf("stopped");
        if (existed)
            writeFile(QStringLiteral("stopped.pdf"), "%PDF-1.4 the user's own file\n%%EOF\n");
        prompter_->printDialogScript = PrintToPdf(target);
        if (cancel) {
            CancelAtFirstPage(this);
            app_->router().execute(ID_FILE_PRINT);
        } else {
            const FileSizeLimit full(4096);
            app_->router().execute(ID_FILE_PRINT);
        }
        QCOMPARE(QFile::exists(target), existed);
        QCOMPARE(prompter_->shown.size(), cancel ? 0 : 1);
        if (!cancel)
            QVERIFY(prompter_->shown[0].text.contains(QStringLiteral("stopped.pdf")));
    }

    // A FIFO, a folder or a device named as the PDF is refused at once, through the real
    // program, without waiting for a reader and without removing what is there.
    void aTargetThatIsNoFileIsRefusedAtOnce_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("told");
        QTest::newRow("FIFO") << QStringLiteral("fifo.pdf")
                              << QStringLiteral("通常のファイルではない");
        QTest::newRow("folder") << QStringLiteral("folder.pdf") << QStringLiteral("フォルダー");
        QTest::newRow("link to /dev/null")
            << QStringLiteral("null.pdf") << QStringLiteral("通常のファイルではない");
    }
    void aTargetThatIsNoFileIsRefusedAtOnce() {
        QFETCH(QString, name);
        const QString target = dir_.filePath(name);
        const QByteArray bytes = QFile::encodeName(target);
        if (name.startsWith("fifo"))
            QCOMPARE(::mkfifo(bytes.constData(), 0600), 0);
        else if (name.startsWith("folder"))
            QVERIFY(QDir(dir_.path()).mkdir(name));
        else
            QCOMPARE(::symlink("/dev/null", bytes.constData()), 0);
        const mode_t type = FileTypeAt(target);
        const auto tidy = qScopeGuard([&] {
            if (::rmdir(bytes.constData()) != 0)
                ::unlink(bytes.constData());
        });

        QProcess tellwick;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path());
        tellwick.setProcessEnvironment(environment);
        tellwick.start(
            QStringLiteral(TELLWICK_PATH),
            {"-pt", writeFile(QStringLiteral("book.tlw"), book_.bytes()), target, "d", "p"});
        const bool ended = tellwick.waitForFinished(10000);
        if (!ended)
            tellwick.kill();
        QVERIFY2(ended, "the program waits on the target");
        const QString error = QString::fromLocal8Bit(tellwick.readAllStandardError());
        QVERIFY2(tellwick.exitCode() == 1, qPrintable(error));
        QFETCH(QString, told);
        QVERIFY2(error.contains(told), qPrintable(error));
        QCOMPARE(FileTypeAt(target), type);
    }

    // "-pt BOOK some/path.pdf DRIVER PORT" writes that PDF without showing the window, and
    // start-up ends with status 0.
    void printToAPdfPathFromTheCommandLine() {
        const QString book = writeFile(QStringLiteral("book.tlw"), book_.bytes());
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        const auto back = qScopeGuard([&] { QDir::setCurrent(old); });
        QVERIFY(QDir().mkpath(QStringLiteral("some")));

        CTellwickApp& app = start({"-pt", book, "some/path.pdf", "DRIVER", "PORT"}, false);
        QVERIFY(!app.frame().isVisible());
        QCOMPARE(app.startUpExitCode(), 0);
        QVERIFY(prompter_->shown.isEmpty());
        QCOMPARE(PrintedLines(dir_.filePath("some/path.pdf")), printedBook(book_));
    }

    // Every way a command-line print can fail is told in a box that needs no click, prints
    // nothing and gives status 1.
    void aFailedCommandLinePrintSaysWhyAndEndsWithStatus1_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("told");
        QTest::newRow("no printer")
            << QStringList{"-p", "BOOK"} << QStringLiteral("使用できるプリンターがない");
        QTest::newRow("unknown printer")
            << QStringList{"-pt", "BOOK", "nowhere", "d", "p"} << QStringLiteral("\"nowhere\"");
        QTest::newRow("unwritable PDF")
            << QStringList{"-pt", "BOOK", "DIR/no/dir/x.pdf", "d", "p"} << QStringLiteral("x.pdf");
        QTest::newRow("missing book") << QStringList{"-pt", "DIR/none.tlw", "DIR/x.pdf", "d", "p"}
                                      << QStringLiteral("none.tlw");
    }
    void aFailedCommandLinePrintSaysWhyAndEndsWithStatus1() {
        QFETCH(QStringList, args);
        const QString book = writeFile(QStringLiteral("book.tlw"), book_.bytes());
        args.replaceInStrings(QStringLiteral("BOOK"), book);
        args.replaceInStrings(QStringLiteral("DIR"), dir_.path());

        CTellwickApp& app = start(args, false);
        QCOMPARE(app.startUpExitCode(), 1);
        QVERIFY(!app.frame().isVisible());
        QFETCH(QString, told);
        QCOMPARE(prompter_->shown.size(), 1);
        QVERIFY2(prompter_->shown[0].text.contains(told), qPrintable(prompter_->shown[0].text));
        QVERIFY(prompter_->shown[0].unattended);
        QVERIFY(QDir(dir_.path()).entryList({"*.pdf"}, QDir::Files).isEmpty());
    }

    // The hidden start's shell requests: printto writes the PDF it names, print without a
    // printer is told; the window stays hidden throughout.
    void shellPrintRequests() {
        const QString book = writeFile(QStringLiteral("book.tlw"), book_.bytes());
        CTellwickApp& app = start({QStringLiteral("-dde")}, true);
        SendShellRequest(
            QStringLiteral("[printto(\"%1\",\"%2\",\"drv\",\"port\")]").arg(book, pdf("shell")));
        QTRY_VERIFY(QFile::exists(pdf("shell")));
        QCOMPARE(PrintedLines(pdf("shell")), printedBook(book_));

        SendShellRequest(QStringLiteral("[print(\"%1\")]").arg(book));
        QTRY_COMPARE(prompter_->shown.size(), 1);
        QVERIFY(prompter_->shown[0].text.contains(QStringLiteral("プリンター")));
        QVERIFY(!prompter_->shown[0].unattended); // someone at the desktop asked
        QVERIFY(!app.frame().isVisible());

        // A FIFO is refused in a box without waiting for its reader, and stays.
        const QString fifo = pdf("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const auto tidy = qScopeGuard([&] { QFile::remove(fifo); });
        SendShellRequest(QStringLiteral("[printto(\"%1\",\"%2\",\"\",\"\")]").arg(book, fifo));
        QTRY_COMPARE(prompter_->shown.size(), 2);
        QVERIFY2(prompter_->shown[1].text.contains(QStringLiteral("通常のファイルではない")),
                 qPrintable(prompter_->shown[1].text));
        QCOMPARE(FileTypeAt(fifo), mode_t(S_IFIFO));
    }

    // The real program prints with "-pt" and ends with status 0. Without a printer it says
    // why on standard error and ends with status 1 at once: no box waits for a click.
    void theProgramPrintsAndEnds_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("told");
        QTest::newRow("printed") << QStringList{"-pt", "BOOK", "PDF", "d", "p"} << 0 << QString();
        QTest::newRow("no printer")
            << QStringList{"-p", "BOOK"} << 1 << QStringLiteral("使用できるプリンターがない");
    }
    void theProgramPrintsAndEnds() {
        QFETCH(QStringList, args);
        args.replaceInStrings(QStringLiteral("BOOK"),
                              writeFile(QStringLiteral("book.tlw"), book_.bytes()));
        args.replaceInStrings(QStringLiteral("PDF"), pdf("program"));
        QProcess tellwick;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path());
        tellwick.setProcessEnvironment(environment);
        tellwick.start(QStringLiteral(TELLWICK_PATH), args);
        QVERIFY(tellwick.waitForFinished(30000));
        const QString error = QString::fromLocal8Bit(tellwick.readAllStandardError());
        QCOMPARE(tellwick.exitStatus(), QProcess::NormalExit);
        QFETCH(int, status);
        QVERIFY2(tellwick.exitCode() == status, qPrintable(error));
        QFETCH(QString, told);
        if (status == 0)
            QCOMPARE(PrintedLines(pdf("program")), printedBook(book_));
        else
            QVERIFY2(error.contains(told), qPrintable(error));
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
