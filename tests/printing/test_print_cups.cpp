// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeClock.h"
#include "FakeMessageBox.h"
#include "FakePrintDialog.h"
#include "PrintTestSupport.h"
#include "measurement/MeasurementStore.h"
#include "printing/ChartPrintout.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QPrinter>
#include <QtTest>
#include <pwd.h>
#include <unistd.h>

using namespace k12;
using namespace k12::test;

namespace {

const QString kQueue = QStringLiteral("K12PDF");

struct Result {
    int exitCode = -1;
    QString out;
};

Result RunTool(const QString& program, const QStringList& args, int timeoutMs = 20000) {
    QProcess proc;
    proc.start(program, args);
    if (!proc.waitForFinished(timeoutMs) || proc.exitStatus() != QProcess::NormalExit) {
        proc.kill();
        proc.waitForFinished();
        return {};
    }
    return {proc.exitCode(), QString::fromUtf8(proc.readAllStandardOutput())};
}

bool SchedulerRunning() {
    return RunTool(QStringLiteral("lpstat"), {QStringLiteral("-r")})
        .out.contains(QStringLiteral("scheduler is running"));
}

// Where cups-pdf puts a job of the current user.
QString CupsPdfOutputDir() {
    const passwd* pw = getpwuid(geteuid());
    const QString home = pw != nullptr ? QString::fromLocal8Bit(pw->pw_dir) : QDir::homePath();
    const QString user = pw != nullptr ? QString::fromLocal8Bit(pw->pw_name) : QString();
    QString out = QStringLiteral("/var/spool/cups-pdf/${USER}");
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!conf.atEnd()) {
            const QString line = QString::fromUtf8(conf.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("Out "))) {
                out = line.mid(4).trimmed();
            }
        }
    }
    out.replace(QStringLiteral("${HOME}"), home).replace(QStringLiteral("${USER}"), user);
    return out;
}

QSet<QString> PdfFiles(const QString& dir) {
    const QStringList names = QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    return {names.begin(), names.end()};
}

} // namespace

class TestPrintCups : public QObject {
    Q_OBJECT

    QProcess m_cupsd;
    bool m_startedScheduler = false;
    bool m_addedQueue = false;
    QString m_queue;
    QString m_outDir;

    // A queue whose device is cups-pdf, if one exists already.
    QString ExistingPdfQueue() {
        const QString devices = RunTool(QStringLiteral("lpstat"), {QStringLiteral("-v")}).out;
        for (const QString& line : devices.split(QLatin1Char('\n'))) {
            static const QRegularExpression re(QStringLiteral(R"(^device for (\S+): cups-pdf:)"));
            const auto m = re.match(line);
            if (m.hasMatch()) {
                return m.captured(1);
            }
        }
        return {};
    }

  private Q_SLOTS:
    void initTestCase() {
        if (!SchedulerRunning()) {
            const QString cupsd = QStandardPaths::findExecutable(
                QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
            if (geteuid() != 0 || cupsd.isEmpty()) {
                QSKIP("No CUPS scheduler is running, and starting one needs root and cupsd.");
            }
            QDir().mkpath(QStringLiteral("/run/cups"));
            m_cupsd.start(cupsd, {QStringLiteral("-f")});
            if (!m_cupsd.waitForStarted(5000)) {
                QSKIP("cupsd could not be started.");
            }
            m_startedScheduler = true;
            QElapsedTimer timer;
            timer.start();
            while (!SchedulerRunning() && timer.elapsed() < 15000) {
                QTest::qWait(200);
            }
            if (!SchedulerRunning()) {
                QSKIP("cupsd was started but does not answer.");
            }
        }
        m_queue = ExistingPdfQueue();
        if (m_queue.isEmpty()) {
            if (geteuid() != 0) {
                QSKIP("No cups-pdf queue exists, and adding one needs root.");
            }
            const QString models = RunTool(QStringLiteral("lpinfo"), {QStringLiteral("-m")}).out;
            QString model;
            for (const QString& line : models.split(QLatin1Char('\n'))) {
                const QString name = line.section(QLatin1Char(' '), 0, 0);
                if (name.contains(QStringLiteral("CUPS-PDF"), Qt::CaseInsensitive) &&
                    (model.isEmpty() || name.contains(QStringLiteral("_opt")))) {
                    model = name;
                }
            }
            if (model.isEmpty()) {
                QSKIP("No cups-pdf driver is installed (package printer-driver-cups-pdf).");
            }
            const Result added = RunTool(QStringLiteral("lpadmin"),
                                         {QStringLiteral("-p"), kQueue, QStringLiteral("-v"),
                                          QStringLiteral("cups-pdf:/"), QStringLiteral("-E"),
                                          QStringLiteral("-m"), model});
            if (added.exitCode != 0) {
                QSKIP("lpadmin could not add the cups-pdf queue.");
            }
            m_addedQueue = true;
            m_queue = kQueue;
        }
        m_outDir = CupsPdfOutputDir();
    }

    void printsThroughQueue() {
        MeasurementStore store;
        store.SampleCount = 3;
        store.StartTime = QStringLiteral("2023/12/31 23:59:58");
        store.TimerType = true;
        store.IntervalTM = 2500;
        StubChart chart;
        FakeMessageBox messages;
        FakePrintDialog dialog;
        FakeClock clock;
        PrintSettings chosen;
        chosen.printerName = m_queue.toLower(); // the match ignores case
        chosen.orientation = QPageLayout::Landscape;
        chosen.pageSize = QPageSize(QPageSize::A4);
        dialog.answer = chosen;

        const QSet<QString> before = PdfFiles(m_outDir);
        PrintCommand command(store, chart, messages, dialog, {}, &clock);
        command.Run(nullptr);
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join(u'|')));
        QCOMPARE(command.CurrentPrinter().printerName, m_queue);
        for (const QString& path : chart.exportedPaths) {
            QVERIFY(!QFileInfo::exists(path));
        }

        // cups-pdf finishes the job in the background.
        QString pdf;
        QElapsedTimer timer;
        timer.start();
        qint64 lastSize = -1;
        while (timer.elapsed() < 30000) {
            const QSet<QString> added = PdfFiles(m_outDir) - before;
            if (!added.isEmpty()) {
                pdf = QDir(m_outDir).filePath(*added.begin());
                const qint64 size = QFileInfo(pdf).size();
                const bool idle = RunTool(QStringLiteral("lpstat"), {QStringLiteral("-o"), m_queue})
                                      .out.trimmed()
                                      .isEmpty();
                if (size > 0 && size == lastSize && idle) {
                    break;
                }
                lastSize = size;
            }
            QTest::qWait(250);
        }
        QVERIFY2(!pdf.isEmpty(), qPrintable(QStringLiteral("no output in ") + m_outDir));

        auto printer = PrintCommand::MakePrinter(chosen, nullptr);
        QVERIFY(printer);
        const QRectF area = printer->pageRect(QPrinter::Millimeter);
        ExpectedPage e;
        e.origin = area.topLeft() / 10.0;
        e.width = area.width() / 10.0;
        e.height = area.height() / 10.0;
        e.date = QLocale().toString(clock.current, QLocale::ShortFormat);
        e.startTime = store.StartTime;
        e.interval = QStringLiteral("2.5 (sec)");
        // The queue outlines the text, so the page is checked from its rendering.
        VerifyPrintedRaster(pdf, e);
        if (!QTest::currentTestFailed()) {
            QFile::remove(pdf);
        }
    }

    void cleanupTestCase() {
        if (m_addedQueue) {
            RunTool(QStringLiteral("lpadmin"), {QStringLiteral("-x"), m_queue});
        }
        if (m_startedScheduler) {
            m_cupsd.terminate();
            if (!m_cupsd.waitForFinished(10000)) {
                m_cupsd.kill();
                m_cupsd.waitForFinished();
            }
        }
    }
};

QTEST_MAIN(TestPrintCups)
#include "test_print_cups.moc"
