// SPDX-License-Identifier: GPL-3.0-or-later
// The programs' two languages: the choice from the locale, the translations themselves, every text
// of the window, its dialogs, message boxes and printout in English and in Japanese, and files
// that are the same in both.
#include "FakeFileDialog.h"
#include "FakePrintDialog.h"
#include "MainWindowRig.h"
#include "PrintTestSupport.h"
#include "chart/QcpChart.h"
#include "chart/QcpInclude.h"
#include "chart/QcpMarkers.h"
#include "data_files/CsvFile.h"
#include "data_files/DialogDatalist.h"
#include "data_files/DialogMemo.h"
#include "language/Language.h"
#include "measurement/Conversions.h"
#include "move_tool/DialogMoveWindow.h"
#include "platform/Fonts.h"
#include "platform/QtMessageBox.h"
#include "printing/ChartPrintout.h"
#include "settings/DialogSetting.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QGroupBox>
#include <QLibraryInfo>
#include <QMenu>
#include <QTranslator>
#include <QXmlStreamReader>

using namespace k12;
using namespace k12::test;

namespace {

bool HasJapanese(const QString& s) {
    return std::any_of(s.begin(), s.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x3000 && u <= 0x30ff) || (u >= 0x4e00 && u <= 0x9fff) ||
               (u >= 0xff00 && u <= 0xffef);
    });
}

// What a window shows: the texts a person reads, captions cut short, controls on top of others.
struct Seen {
    QStringList texts;
    QStringList cut;
    QStringList overlaps;
    // The main window's client area, and that of the reference layout.
    QSize client;
    QSize reference;

    void add(const QWidget* top) {
        QCoreApplication::processEvents();
        QList<const QWidget*> all{top};
        for (const QWidget* w : top->findChildren<QWidget*>()) {
            all << w;
        }
        for (const QWidget* w : all) {
            texts << (w->isWindow() ? w->windowTitle() : QString()) << w->toolTip()
                  << w->accessibleName() << w->accessibleDescription();
            QString caption;
            int room = w->width();
            QStyleOptionButton opt;
            opt.initFrom(w);
            if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
                texts << b->text();
                caption = b->text().remove(QLatin1Char('&'));
                const bool radio = qobject_cast<const QRadioButton*>(w) != nullptr;
                const bool check = qobject_cast<const QCheckBox*>(w) != nullptr;
                room -= radio ? w->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                                    w->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing)
                        : check ? w->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                                      w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing)
                                : 4;
            } else if (const auto* l = qobject_cast<const QLabel*>(w)) {
                texts << l->text();
                caption = l->wordWrap() ? QString() : QString(l->text()).remove(QLatin1Char('&'));
            } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
                texts << g->title();
                caption = g->title();
            } else if (const auto* e = qobject_cast<const QLineEdit*>(w)) {
                texts << e->placeholderText();
            } else if (const auto* m = qobject_cast<const QMenu*>(w)) {
                for (const QAction* a : m->actions()) {
                    texts << a->text();
                }
            } else if (const auto* p = qobject_cast<const QCustomPlot*>(w)) {
                for (const QCPAxis* axis : p->axisRect()->axes()) {
                    texts << axis->label();
                }
                for (int i = 0; i < p->graphCount(); ++i) {
                    texts << p->graph(i)->name();
                }
            }
            if (!caption.isEmpty() && w->isVisibleTo(top) &&
                w->fontMetrics().horizontalAdvance(caption) > room) {
                cut << caption;
            }
        }
        texts.removeAll(QString());
    }
    // Controls placed by position, none on another (a pixel of the reference layout's edges
    // aside).
    void addOverlaps(const QWidget* parent) {
        const auto kids = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (qsizetype i = 0; i < kids.size(); ++i) {
            for (qsizetype j = i + 1; j < kids.size(); ++j) {
                if (!kids[i]->isWindow() && !kids[j]->isWindow() &&
                    kids[i]
                        ->geometry()
                        .adjusted(1, 1, -1, -1)
                        .intersects(kids[j]->geometry().adjusted(1, 1, -1, -1))) {
                    overlaps << kids[i]->objectName() + QLatin1Char('/') + kids[j]->objectName();
                }
            }
        }
    }
    // A real message box, read while it is open.
    void addBox(QWidget* parent, const FakeMessageBox::Shown& m) {
        QTimer::singleShot(0, parent, [this] {
            QWidget* box = QApplication::activeModalWidget();
            add(box);
            box->close();
        });
        QtMessageBox(parent).show(m.text, m.title, m.buttons, m.icon);
    }
};

// The window through a run (two units on the PC timer, pieces of three rows, unit 1 over its
// alert limit, unit 2 timing out on the way), its questions and refusals, the chart's readout,
// markers and menu, every dialog, real message boxes and the printed page.
Seen Walk(const QString& folder) {
    Seen seen;
    for (const QString& f : QDir(folder).entryList(QDir::Files)) {
        QFile::remove(QDir(folder).filePath(f));
    }
    BasicMainWindowRig<QcpChart> h(
        {.units = {0, 1}, .continueOnError = true, .continueWhenFull = true, .saveFolder = folder});
    h.engine.SetPieceRowsForTest(3);
    h.form->show();
    h.click("cmdSave");
    h.messages.answers = {MsgAnswer::No};
    h.form->close();
    h.md.Alerts.High[0] = QStringLiteral("10");
    h.start();
    // The walk ticks itself; the window's own timer would add rows while it looks.
    h.form->Timer1().stop();
    for (int k = 0; k < 5; ++k) {
        h.tick();
        if (k == 1) {
            h.port(1).clearReplies();
        }
    }
    seen.add(h.form.get());
    h.stop();
    h.messages.answers = {MsgAnswer::No, MsgAnswer::No, MsgAnswer::No};
    h.start();
    h.click("cmdSetting");
    h.form->close();
    h.txt("txtVhi")->setText(QStringLiteral("-500"));
    h.click("cmdSetScaleY");
    h.readFile = folder + QStringLiteral("/missing.zr5");
    h.click("cmdRead");

    QCustomPlot* plot = h.chart.plot();
    const auto at = [plot](double row) {
        return QPointF(plot->xAxis->coordToPixel(row), plot->yAxis->coordToPixel(0)).toPoint();
    };
    h.chart.setClockAxis(true);
    h.chart.setMarker(ChartModel::Marker::A, 1);
    h.chart.setMarker(ChartModel::Marker::B, 2);
    QCoreApplication::processEvents();
    plot->replot();
    QMouseEvent move(QEvent::MouseMove, at(1), plot->mapToGlobal(at(1)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    for (const ChartTextLine& line : h.chart.markers()->boxLines()) {
        seen.texts << line.text;
    }
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at(1), plot->mapToGlobal(at(1)));
    QApplication::sendEvent(plot, &menuEvent);
    seen.add(h.form.get());
    seen.addOverlaps(h.form->centralWidget());
    seen.client = h.form->centralWidget()->size();
    seen.reference = QSize(h.form->Tw(12375), h.form->Tw(8985));
    for (const char* frame : {"Frame1", "Frame2", "Frame4"}) {
        seen.addOverlaps(h.w<QWidget>(QString::fromLatin1(frame)));
    }
    delete plot->findChild<QMenu*>(QStringLiteral("chartMenu"));

    h.md.Units[0].Mflag = h.md.Units[1].Mflag = false;
    h.start();
    h.md.Units[0].Mflag = h.md.Units[1].Mflag = true;

    FakeFileDialog files;
    DialogSetting settings(h.md, h.messages, files, h.form.get(),
                           [](int port) { return QStringLiteral("/dev/ttyS%1").arg(port - 1); });
    settings.show();
    seen.add(&settings);
    settings.findChild<QLineEdit*>(QStringLiteral("txtAlertHigh_0"))->setText(QStringLiteral("x"));
    for (const bool use : {false, true}) {
        settings.findChild<QCheckBox*>(QStringLiteral("chkID_0"))->setChecked(use);
        settings.findChild<QCheckBox*>(QStringLiteral("chkID_1"))->setChecked(false);
        settings.findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    }
    DialogMemo memo(h.md, files, h.messages, CsvStoreWriter(), DataFileStoreWriter(), h.form.get());
    memo.show();
    seen.add(&memo);
    files.answers = {folder + QStringLiteral("/none/x.csv")};
    memo.findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    DialogDatalist list(h.md, h.form.get());
    list.show();
    seen.add(&list);
    DialogMoveWindow mover(h.form.get());
    mover.show();
    seen.add(&mover);
    QFileDialog qtDialog(h.form.get());
    qtDialog.setOption(QFileDialog::DontUseNativeDialog);
    qtDialog.show();
    seen.add(&qtDialog);

    FakePrintDialog printer;
    PrintSettings pdf;
    pdf.outputFile = folder + QStringLiteral("/page.pdf");
    printer.answer = pdf;
    PrintCommand(h.md, h.chart, h.messages, printer, {}, &h.clock).Run(h.form.get());
    const auto page = ReadPdfWords(folder + QStringLiteral("/page.pdf"));
    for (const PdfWord& word :
         page ? page->words : QList<PdfWord>{{QStringLiteral("no page"), {}}}) {
        seen.texts << word.text;
    }

    for (const auto& shown : {h.messages.shown, h.messages.notified}) {
        for (const FakeMessageBox::Shown& m : shown) {
            seen.texts << m.text << m.title;
        }
    }
    seen.addBox(h.form.get(),
                *std::find_if(h.messages.shown.begin(), h.messages.shown.end(),
                              [](const auto& m) { return m.buttons == MsgButtons::YesNo; }));
    seen.addBox(h.form.get(), h.messages.shown.last());
    return seen;
}

// A store as a run leaves it: units 1 and 3, memo lines in Japanese.
MeasurementStore SampleStore() {
    MeasurementStore s;
    s.InitDataArea();
    s.ClearData();
    s.Units[0].Mflag = s.Units[2].Mflag = true;
    for (int r = 0; r < 50; ++r) {
        s.Units[0].Data[r] = r * 0.5f;
        s.Units[2].Data[r] = r == 7 ? NO_DATA_VALUE : -r * 1.25f;
    }
    s.Units[0].DataCount = s.Units[2].DataCount = s.SampleCount = 50;
    s.StartTime = QStringLiteral("2026/12/8 9:0:0");
    s.TimerType = true;
    s.IntervalTM = 1000;
    s.Memo[0] = QStringLiteral("炉の温度");
    return s;
}

} // namespace

class TestLanguages : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        RegisterFontSubstitutes();
        QApplication::setFont(QFont(PGothicFamily(), 9));
    }

    void choice_data() {
        QTest::addColumn<QString>("languages"); // LANGUAGE, or LC_ALL / LC_MESSAGES / LANG
        QTest::addColumn<bool>("windowJapanese");
        QTest::addColumn<bool>("toolsJapanese");
        QTest::newRow("C") << "C" << true << false;
        QTest::newRow("POSIX") << "POSIX" << true << false;
        QTest::newRow("unset") << "" << true << false;
        QTest::newRow("en_US.UTF-8") << "en_US.UTF-8" << false << false;
        QTest::newRow("en_GB") << "en_GB" << false << false;
        QTest::newRow("ja_JP.UTF-8") << "ja_JP.UTF-8" << true << true;
        QTest::newRow("ja_JP.eucJP") << "ja_JP.eucJP" << true << true;
        QTest::newRow("only German") << "de_DE.UTF-8" << true << false;
        QTest::newRow("German, then Japanese") << "de:ja:en" << true << true;
        QTest::newRow("French, then English") << "fr:en" << false << false;
    }
    void choice() {
        QFETCH(QString, languages);
        QFETCH(bool, windowJapanese);
        QFETCH(bool, toolsJapanese);
        QStringList ui;
        for (const QString& name : languages.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            ui << QLocale(name.section(QLatin1Char('.'), 0, 0)).uiLanguages();
        }
        if (ui.isEmpty()) {
            ui << QStringLiteral("C");
        }
        QCOMPARE(LanguageFor(ui, Language::Japanese) == Language::Japanese, windowJapanese);
        QCOMPARE(LanguageFor(ui, Language::English) == Language::Japanese, toolsJapanese);
    }

    // Every entry translated, without a Japanese character in English, keeping its %1, %2, ...
    void translations_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("window") << "k12inc_en.ts";
        QTest::newRow("tools") << "k12inc-tools_ja.ts";
    }
    void translations() {
        QFETCH(QString, file);
        QFile ts(QStringLiteral(K12_SOURCE_DIR "/translations/") + file);
        QVERIFY(ts.open(QIODevice::ReadOnly));
        const bool english = file.endsWith(QLatin1String("_en.ts"));
        static const QRegularExpression placeholder(QStringLiteral("%L?(\\d|n)"));
        const auto marks = [](const QString& text) {
            QStringList found;
            for (auto it = placeholder.globalMatch(text); it.hasNext();) {
                found << it.next().captured(1);
            }
            found.sort();
            found.removeDuplicates();
            return found;
        };
        QXmlStreamReader xml(&ts);
        QString source;
        int entries = 0;
        QStringList wrong;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) {
                continue;
            }
            if (xml.name() == u"source") {
                source = xml.readElementText();
            } else if (xml.name() == u"translation") {
                const bool unfinished = !xml.attributes().value(QLatin1String("type")).isEmpty();
                // Numerus forms come as one text: each holds the same marks.
                const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                ++entries;
                if (unfinished || text.isEmpty() || (english && HasJapanese(text)) ||
                    (!english && !HasJapanese(text) && text != source) ||
                    marks(text) != marks(source)) {
                    wrong << source;
                }
            }
        }
        QVERIFY(!xml.hasError());
        QVERIFY(entries > 100);
        QCOMPARE(wrong, QStringList());
    }

    // Texts in the sources are either translated or the files' own (which never change with the
    // language); a Japanese text left out of the translation shows up here.
    void sourcesTranslated() {
        static const QRegularExpression literal(QStringLiteral("QStringLiteral\\(\"([^\"]*)\""));
        const QStringList fileTexts{QStringLiteral("測定日"),
                                    QStringLiteral("PCタイマー(sec)"),
                                    QStringLiteral("装置タイマー(msec)"),
                                    QStringLiteral("ポート番号"),
                                    QStringLiteral("測定データ"),
                                    QStringLiteral("データ数"),
                                    QStringLiteral("メモ"),
                                    QStringLiteral("ＭＳ Ｐゴシック"),
                                    QStringLiteral("ＭＳ ゴシック"),
                                    QStringLiteral("MS P明朝")};
        QStringList untranslated;
        for (QDirIterator it(QStringLiteral(K12_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString code = QString::fromUtf8(f.readAll());
            for (auto m = literal.globalMatch(code); m.hasNext();) {
                const QString text = m.next().captured(1);
                if (HasJapanese(text) && !fileTexts.contains(text)) {
                    untranslated << text;
                }
            }
        }
        QCOMPARE(untranslated, QStringList());
    }

    // The window's texts in English hold no Japanese; in Japanese they are what the program always
    // showed (its own texts, Qt's dialogs in Japanese). No caption is cut or covered in either.
    void windowTexts() {
        QTemporaryDir folder;
        QTranslator qtJapanese;
        QVERIFY(qtJapanese.load(QStringLiteral("qtbase_ja"),
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
        QCoreApplication::installTranslator(&qtJapanese);
        const Seen before = Walk(folder.path());
        QCoreApplication::removeTranslator(&qtJapanese);
        UseLanguage(Language::Japanese);
        const Seen japanese = Walk(folder.path());
        UseLanguage(Language::English);
        const Seen english = Walk(folder.path());
        UseLanguage(Language::Japanese);

        QCOMPARE(japanese.texts, before.texts);
        QCOMPARE(japanese.client, japanese.reference);
        for (const char* caption :
             {"開始", "停止", "取込設定", "測定条件保存", "データ表示", "読込み", "印刷",
              "手動ｽｸﾛｰﾙ", "表示データ数", "エラー時も測定を続ける", "次へ", "ｷｬﾝｾﾙ", "はい(&Y)",
              "＜取込設定＞", "1台目", "使用ユニットにチェックが付いていません。"}) {
            QVERIFY2(before.texts.contains(QString::fromUtf8(caption)), caption);
        }
        QStringList japaneseInEnglish;
        for (const QString& text : english.texts) {
            if (HasJapanese(text) && !text.contains(QStringLiteral("炉の温度"))) {
                japaneseInEnglish << text;
            }
        }
        QCOMPARE(japaneseInEnglish, QStringList());
        QVERIFY(english.texts.contains(QStringLiteral("Save settings")));
        for (const Seen* seen : {&before, &english}) {
            QCOMPARE(seen->cut, QStringList());
            QCOMPARE(seen->overlaps, QStringList());
        }
    }

    // A CSV and a .zr5 file are the same bytes in either language (their texts are the files'
    // own, in code page 932), and read back the same.
    void filesIdentical() {
        QTemporaryDir dir;
        const MeasurementStore store = SampleStore();
        QList<QByteArray> csv;
        QList<QByteArray> zr5;
        for (const Language language : {Language::English, Language::Japanese}) {
            UseLanguage(language);
            const QString name = dir.filePath(QString::number(int(language)));
            QVERIFY(!WriteCsvFile(store, name + QStringLiteral(".csv")));
            QVERIFY(!WriteDataFile(store, name + QStringLiteral(".zr5")));
            csv << FileBytes(name + QStringLiteral(".csv"));
            zr5 << FileBytes(name + QStringLiteral(".zr5"));
        }
        QCOMPARE(csv[0], csv[1]);
        QCOMPARE(zr5[0], zr5[1]);
        QVERIFY(
            csv[0].contains(EncodeCp932(QStringLiteral("\"測定日\",\"2026/12/8 9:0:0\"")).value()));
        QCOMPARE(SavedFile(dir.filePath(QStringLiteral("0.zr5"))).Memo[0], store.Memo[0]);
    }
};

QTEST_MAIN(TestLanguages)
#include "test_languages.moc"
