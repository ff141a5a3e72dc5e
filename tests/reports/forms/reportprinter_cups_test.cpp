// Printing for real: a private CUPS scheduler with a cups-pdf queue, a report
// printed to it through TReportPrinter, and the PDF it makes read back.
#include "app/appcontext.h"
#include "app/searchbracket.h"
#include "db/booktable.h"
#include "reports/forms/tmyreport.h"
#include "reports/forms/treportform.h"
#include "reports/paint/qtreport.h"
#include "support/gui_modal.h"
#include "support/gui_scriptedprompter.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace shelvix::reports {
namespace {

namespace fs = std::filesystem;

const QString kQueue = QStringLiteral("ShelvixTest");
const QString kCupsd = QStringLiteral("/usr/sbin/cupsd");
const QString kBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");
const QString kPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");

QString runTool(const QString& program, const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(60000);
    if (exitCode) {
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    return QString::fromLocal8Bit(p.readAll());
}

// Where cups-pdf puts the jobs of users it does not know.
QString anonymousOutputDir() {
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : conf.readAll().split('\n')) {
            const QByteArray t = line.trimmed();
            if (t.startsWith("AnonDirName")) {
                return QString::fromLocal8Bit(t.mid(11).trimmed());
            }
        }
    }
    return QStringLiteral("/var/spool/cups-pdf/ANONYMOUS");
}

// A CUPS scheduler of our own: configuration, spool, cache, logs and socket
// in a temporary directory; stopped (and waited for) when the object goes.
class PrivateCups {
public:
    // Empty when started; otherwise why it could not be.
    QString start() {
        if (!QFile::exists(kCupsd) || !QFile::exists(kBackend) || !QFile::exists(kPpd)) {
            return QStringLiteral("cups or printer-driver-cups-pdf is not installed "
                                  "(scripts/install-deps installs them)");
        }
        if (geteuid() != 0) {
            return QStringLiteral("the cups-pdf backend runs only for a scheduler started as "
                                  "root, and these tests do not run as root");
        }
        const QString d = QString::fromStdString(dir_.path().string());
        // The filters run as lp and must reach the spool.
        fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
        for (const char* sub : {"root/ppd", "spool", "tmp", "cache", "state", "log"}) {
            QDir().mkpath(d + u'/' + QLatin1String(sub));
        }
        // Filters run as lp and keep their temporary files here.
        fs::permissions(dir_ / "tmp", fs::perms::all | fs::perms::sticky_bit);
        socket_ = d + QStringLiteral("/cups.sock");
        write(d + QStringLiteral("/cupsd.conf"),
              QStringLiteral("LogLevel info\nListen %1\nDefaultAuthType None\nWebInterface No\n"
                             "Browsing No\n<Location />\n  Order allow,deny\n  Allow all\n"
                             "</Location>\n<Policy default>\n  <Limit All>\n"
                             "    Order deny,allow\n  </Limit>\n</Policy>\n")
                  .arg(socket_));
        write(d + QStringLiteral("/cups-files.conf"),
              QStringLiteral("ServerRoot %1/root\nRequestRoot %1/spool\nTempDir %1/tmp\n"
                             "CacheDir %1/cache\nStateDir %1/state\nAccessLog %1/log/access_log\n"
                             "ErrorLog %1/log/error_log\nPageLog %1/log/page_log\n"
                             "Printcap %1/printcap\nServerBin /usr/lib/cups\n"
                             "DataDir /usr/share/cups\nSandboxing Relaxed\nFileDevice No\n")
                  .arg(d));
        cupsd_.setProcessChannelMode(QProcess::MergedChannels);
        // Should these tests die, the scheduler goes with them.
        cupsd_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        cupsd_.start(kCupsd, {QStringLiteral("-f"), QStringLiteral("-c"), d + "/cupsd.conf",
                              QStringLiteral("-s"), d + "/cups-files.conf"});
        if (!cupsd_.waitForStarted(10000)) {
            return QStringLiteral("cupsd could not be started: ") + cupsd_.errorString();
        }
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(socket_) && cupsd_.state() == QProcess::Running &&
               clock.elapsed() < 15000) {
            QThread::msleep(50);
        }
        if (!QFile::exists(socket_)) {
            return QStringLiteral("cupsd did not open its socket: ") + log();
        }
        int rc = 0;
        const QString out =
            runTool(QStringLiteral("lpadmin"),
                    {"-h", socket_, "-p", kQueue, "-E", "-v", "cups-pdf:/", "-P", kPpd, "-o",
                     // The other renderers lose the text of
                     // Qt's embedded fonts.
                     "pdftops-renderer-default=pdftocairo"},
                    &rc);
        if (rc != 0) {
            return QStringLiteral("lpadmin could not add the cups-pdf queue: ") + out;
        }
        return {};
    }

    ~PrivateCups() {
        if (cupsd_.state() != QProcess::NotRunning) {
            cupsd_.terminate();
            if (!cupsd_.waitForFinished(10000)) {
                cupsd_.kill();
                cupsd_.waitForFinished(5000);
            }
        }
    }

    const QString& socket() const { return socket_; }
    QString log() const {
        QFile f(QString::fromStdString((dir_ / "log/error_log").string()));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(2000))
                                           : QString();
    }
    // Waits until the queue has no job left to do.
    bool idle(int ms) const {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            if (runTool(QStringLiteral("lpstat"), {"-h", socket_, "-o", kQueue})
                    .trimmed()
                    .isEmpty()) {
                return true;
            }
            QThread::msleep(200);
        }
        return false;
    }

private:
    static void write(const QString& path, const QString& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toLocal8Bit());
    }

    test::TempDir dir_;
    QString socket_;
    QProcess cupsd_;
};

// The print system keeps the first scheduler it is pointed at for the life
// of the process, so the printing itself runs in a child process of these
// tests, started by the test below with the private scheduler in its
// environment.
TEST(ReportPrinterCups, DISABLED_PrintTwoPagesToTheQueue) {
    const QString title = qEnvironmentVariable("SHELVIX_CUPS_TITLE");
    ASSERT_FALSE(title.isEmpty());
    TReportPrinter printer;
    const int index = static_cast<int>(printer.PrinterNameList().indexOf(kQueue));
    ASSERT_GE(index, 0) << printer.PrinterNameList().join(", ").toStdString();
    printer.ChoosePrinter(index);
    printer.Title = title;
    printer.OnPrintPage = [title](TBaseReport& r, int page) {
        r.ApplyFont("Arial", 14, false, false, false, false, 0);
        r.RemoveAllCells();
        r.AddCell(pjLeft, 15, 0, 2, 4, kAfterPrevious);
        r.PrintCellsLine(QStringLiteral("\tShelvix report page %1").arg(page));
        r.PrintCellsLine(QStringLiteral("\t") + title);
        return page < 2;
    };
    ASSERT_TRUE(printer.RunReport());
}

TEST(ReportPrinterCups, APrintedReportArrivesInTheCupsPdfQueue) {
    PrivateCups cups;
    const QString why = cups.start();
    if (!why.isEmpty()) {
        GTEST_SKIP() << "no private CUPS scheduler: " << why.toStdString();
    }
    const QString title = QStringLiteral("shelvix_cups_%1").arg(QCoreApplication::applicationPid());
    const QString outDir = anonymousOutputDir();
    const QStringList before = QDir(outDir).entryList({QStringLiteral("*.pdf")});

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), cups.socket());
    // A user cups-pdf does not know: its file goes to the anonymous directory.
    env.insert(QStringLiteral("CUPS_USER"), QStringLiteral("shelvix-test"));
    env.insert(QStringLiteral("SHELVIX_CUPS_TITLE"), title);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_filter=ReportPrinterCups.DISABLED_PrintTwoPagesToTheQueue"),
         QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString childOut = QString::fromLocal8Bit(child.readAll());
    ASSERT_EQ(child.exitCode(), 0) << childOut.toStdString();
    ASSERT_TRUE(childOut.contains("[  PASSED  ] 1 test")) << childOut.toStdString();

    ASSERT_TRUE(cups.idle(90000)) << cups.log().toStdString();
    // Ours is the new file that carries this run's title (other runs may
    // share the directory).
    QString pdf, text;
    for (const QString& name : QDir(outDir).entryList({QStringLiteral("*.pdf")})) {
        const QString path = outDir + u'/' + name;
        const QString t = runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        if (!before.contains(name) && t.contains(title)) {
            EXPECT_TRUE(pdf.isEmpty()) << "two files: " << pdf.toStdString();
            pdf = path;
            text = t;
        }
    }
    ASSERT_FALSE(pdf.isEmpty()) << cups.log().toStdString();
    const QString info = runTool(QStringLiteral("pdfinfo"), {pdf});
    QFile::remove(pdf);
    EXPECT_TRUE(text.contains("Shelvix report page 1")) << text.toStdString();
    EXPECT_TRUE(text.contains("Shelvix report page 2")) << text.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+2\\n"))) << info.toStdString();
}

// The child of the test below: "Short Narrow Report" printed from the report
// list with Ctrl+P, the print dialog answered with the test queue.
TEST(ReportPrinterCups, DISABLED_PrintFromTheReportList) {
    const QString title = qEnvironmentVariable("SHELVIX_CUPS_TITLE");
    ASSERT_FALSE(title.isEmpty());
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    app::AppContext ctx;
    ctx.paths.dataDir = QString::fromStdString(dir.path().string());
    ctx.prompter = &prompter;
    ctx.screenSize = {1024, 768};
    WriteDefaultReports(ReportFile(QString::fromStdString((dir / "SHVBOOK.URP").string())));
    db::createBookTable(dir / "MASTER.DBF");
    ctx.MyTable = db::Table::open(dir / "MASTER.DBF", db::OpenMode::Shared);
    for (int i = 1; i <= 80; ++i) {
        ctx.MyTable->insert();
        ctx.MyTable->setText("Title", QStringLiteral("%1 book %2").arg(title).arg(i).toStdString());
        ctx.MyTable->setText("Author", i <= 40 ? "Adams" : "Brown");
        ctx.MyTable->post();
    }
    ctx.MyTable->first();
    app::PrintSetup queue;
    queue.printer = kQueue;
    prompter.expectPrint({}, queue);
    app::SearchBracket search({[] { return false; }, [] {}, [] {}}); // never on
    TMyReport list(ctx, search);
    list.show();
    list.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == list.ReportBox; }));
    ASSERT_EQ(list.ReportBox->currentItem()->text(), "Short Narrow Report");
    int pages = 0;
    test::onNextModal(
        [&pages](QWidget* w) {
            auto* form = qobject_cast<TReportForm*>(w);
            ASSERT_TRUE(form);
            auto* timer = new QTimer(form);
            QObject::connect(timer, &QTimer::timeout, form, [form, timer, &pages] {
                if (form->Finished()) {
                    timer->stop();
                    EXPECT_FALSE(form->Canceled());
                    pages = form->MyReportPrinter.CurrentPage();
                    QTest::keyClick(form->focusWidget() ? form->focusWidget() : form,
                                    Qt::Key_Return);
                }
            });
            timer->start(5);
        },
        60000);
    QTest::keyClick(list.ReportBox, Qt::Key_P, Qt::ControlModifier);
    ASSERT_GT(pages, 1);
    std::printf("report pages=%d\n", pages);
}

TEST(ReportPrinterCups, AReportPrintedFromTheReportListArrivesWithItsPages) {
    PrivateCups cups;
    const QString why = cups.start();
    if (!why.isEmpty()) {
        GTEST_SKIP() << "no private CUPS scheduler: " << why.toStdString();
    }
    const QString title = QStringLiteral("shelvix_list_%1").arg(QCoreApplication::applicationPid());
    const QString outDir = anonymousOutputDir();
    const QStringList before = QDir(outDir).entryList({QStringLiteral("*.pdf")});

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), cups.socket());
    env.insert(QStringLiteral("CUPS_USER"), QStringLiteral("shelvix-test"));
    env.insert(QStringLiteral("SHELVIX_CUPS_TITLE"), title);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=ReportPrinterCups.DISABLED_PrintFromTheReportList"),
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString childOut = QString::fromLocal8Bit(child.readAll());
    ASSERT_TRUE(childOut.contains("[  PASSED  ] 1 test")) << childOut.toStdString();
    const auto m = QRegularExpression(QStringLiteral("report pages=(\\d+)")).match(childOut);
    ASSERT_TRUE(m.hasMatch()) << childOut.toStdString();

    ASSERT_TRUE(cups.idle(90000)) << cups.log().toStdString();
    QString pdf, text;
    for (const QString& name : QDir(outDir).entryList({QStringLiteral("*.pdf")})) {
        const QString path = outDir + u'/' + name;
        const QString t = runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        if (!before.contains(name) && t.contains(title)) {
            pdf = path;
            text = t;
        }
    }
    ASSERT_FALSE(pdf.isEmpty()) << cups.log().toStdString();
    const QString info = runTool(QStringLiteral("pdfinfo"), {pdf});
    QFile::remove(pdf);
    EXPECT_TRUE(
        info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(m.captured(1)))))
        << info.toStdString();
    EXPECT_TRUE(text.contains(title + " book 1\n")) << text.toStdString();
    EXPECT_TRUE(text.contains(title + " book 80")) << text.toStdString();
    EXPECT_TRUE(text.contains("GRAND TOTALS"));
    EXPECT_TRUE(text.contains("Page 2"));
}

} // namespace
} // namespace shelvix::reports
