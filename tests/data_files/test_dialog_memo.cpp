// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/QcpChartMenu.h"
#include "data_files/DialogMemo.h"
#include "platform/QtFileDialog.h"

#include "FakeFileDialog.h"
#include "FakeMessageBox.h"

#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace k12;
using test::FakeFileDialog;
using test::FakeMessageBox;

namespace {

struct WriteCall {
    QString kind;
    QString path;
    std::array<QString, MEMO_COUNT> memo;
};

// The save dialog with fakes around it; writers record their calls and fail with `failure`.
struct Rig {
    MeasurementStore store;
    FakeFileDialog files;
    FakeMessageBox messages;
    QList<WriteCall> writes;
    std::optional<QString> failure;

    Rig() {
        store.InitDataArea();
        store.ClearData();
        store.SampleCount = 3;
        store.Memo = {QStringLiteral("a"), QStringLiteral("b"), QString(), QString(),
                      QStringLiteral("e")};
    }

    StoreWriter writer(const QString& kind) {
        return [this, kind](const MeasurementStore& s, const QString& path) {
            writes.append({kind, path, s.Memo});
            return failure;
        };
    }

    std::unique_ptr<DialogMemo> open() {
        auto dialog =
            std::make_unique<DialogMemo>(store, files, messages, writer("csv"), writer("zr5"));
        dialog->show();
        return dialog;
    }
};

QLineEdit* Memo(QWidget& w, int i) {
    return w.findChild<QLineEdit*>(QStringLiteral("txtMemo_%1").arg(i));
}
QRadioButton* Type(QWidget& w, int i) {
    return w.findChild<QRadioButton*>(QStringLiteral("optFiletype_%1").arg(i));
}
void Click(QWidget& w, const char* name) {
    auto* button = w.findChild<QPushButton*>(QString::fromLatin1(name));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}
// Types ASCII key by key; other text arrives as an input method would commit it.
void Retype(QWidget& w, int i, const QString& text) {
    QLineEdit* edit = Memo(w, i);
    edit->clear();
    QString ascii;
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            ascii += c;
            continue;
        }
        QTest::keyClicks(edit, ascii);
        ascii.clear();
        QInputMethodEvent commit;
        commit.setCommitString(QString(c));
        QCoreApplication::sendEvent(edit, &commit);
    }
    QTest::keyClicks(edit, ascii);
}

// Types a name into a real file dialog's name box. selectFile() leaves the box alone while it
// has the focus, which depends on what earlier tests left active.
void TypeFileName(QFileDialog* dialog, const QString& path) {
    if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        edit->setText(path);
    } else {
        dialog->selectFile(path);
    }
}

// Runs the dialog-side steps of the real file dialog on a scripted path.
class ScriptedQtFileDialog final : public QtFileDialog {
  public:
    using QtFileDialog::QtFileDialog;
    std::deque<std::optional<QString>> answers;
    QStringList starts;
    QStringList filters;
    QList<bool> saves;

  protected:
    std::optional<QString> runDialog(QWidget*, const QString& qtFilter, bool save,
                                     const QString& start) override {
        filters << qtFilter;
        saves << save;
        starts << start;
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<QString> a;
        a.swap(answers.front());
        answers.pop_front();
        return a;
    }
};

} // namespace

class TestDialogMemo : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void openingShowsControlsMemoAndCsv() {
        Rig rig;
        auto dialog = rig.open();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("データ保存"));
        QVERIFY(dialog->isModal());
        const QStringList numbers = {QStringLiteral("１．"), QStringLiteral("２．"),
                                     QStringLiteral("３．"), QStringLiteral("４．"),
                                     QStringLiteral("５．")};
        for (int i = 0; i < MEMO_COUNT; ++i) {
            QVERIFY(Memo(*dialog, i));
            QCOMPARE(Memo(*dialog, i)->text(), rig.store.Memo[i]);
            QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("Label1_%1").arg(i))->text(),
                     numbers[i]);
        }
        QStringList frames;
        for (auto* box : dialog->findChildren<QGroupBox*>()) {
            frames << box->title();
        }
        QCOMPARE(frames,
                 (QStringList{QStringLiteral("メモ"), QStringLiteral("ファイルの保存形式")}));
        QCOMPARE(Type(*dialog, 0)->text(), QStringLiteral("CSV"));
        QCOMPARE(Type(*dialog, 1)->text(), QStringLiteral("専用"));
        QVERIFY(Type(*dialog, 0)->isChecked());
        QCOMPARE(dialog->findChild<QPushButton*>(QStringLiteral("OKButton"))->text(),
                 QStringLiteral("次へ"));
        QCOMPARE(dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"))->text(),
                 QStringLiteral("戻る"));

        // "専用" chosen, then the dialog closed: the next opening selects "CSV" again.
        QTest::mouseClick(Type(*dialog, 1), Qt::LeftButton);
        QVERIFY(Type(*dialog, 1)->isChecked());
        Click(*dialog, "CancelButton");
        auto again = rig.open();
        QVERIFY(Type(*again, 0)->isChecked());
        QVERIFY(!Type(*again, 1)->isChecked());
    }

    void cancelKeepsDialogAndTypedLines() {
        Rig rig;
        const auto former = rig.store.Memo;
        auto dialog = rig.open();
        Retype(*dialog, 0, QStringLiteral("試験 1"));
        Retype(*dialog, 3, QStringLiteral("line 4"));
        rig.files.answers = {std::nullopt};
        Click(*dialog, "OKButton");

        QCOMPARE(rig.files.requests.size(), 1);
        QCOMPARE(rig.files.requests[0].kind, FakeFileDialog::Kind::Save);
        QCOMPARE(rig.files.requests[0].filter, QStringLiteral("CSVファイル  (*.csv)|*.csv|"));
        QVERIFY(dialog->isVisible());
        QCOMPARE(Memo(*dialog, 0)->text(), QStringLiteral("試験 1"));
        QCOMPARE(Memo(*dialog, 3)->text(), QStringLiteral("line 4"));
        QCOMPARE(rig.store.Memo, former);
        QVERIFY(rig.writes.isEmpty());

        Click(*dialog, "CancelButton");
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(rig.store.Memo, former);
        QVERIFY(rig.writes.isEmpty());
    }

    void closeBoxWritesNothing() {
        Rig rig;
        const auto former = rig.store.Memo;
        auto dialog = rig.open();
        Retype(*dialog, 1, QStringLiteral("x"));
        QVERIFY(dialog->close());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(rig.store.Memo, former);
        QVERIFY(rig.files.requests.isEmpty());
    }

    void saveWithChosenType_data() {
        QTest::addColumn<bool>("dedicated");
        QTest::addColumn<QString>("path");
        QTest::newRow("csv") << false << QStringLiteral("/tmp/out/data.csv");
        QTest::newRow("dedicated, no extension") << true << QStringLiteral("/tmp/out/noext");
    }
    void saveWithChosenType() {
        QFETCH(bool, dedicated);
        QFETCH(QString, path);
        Rig rig;
        auto dialog = rig.open();
        if (dedicated) {
            QTest::mouseClick(Type(*dialog, 1), Qt::LeftButton);
        }
        for (int i = 0; i < MEMO_COUNT; ++i) {
            Retype(*dialog, i, QStringLiteral("メモ %1").arg(i + 1));
        }
        rig.files.answers = {path};
        Click(*dialog, "OKButton");

        QCOMPARE(rig.files.requests.size(), 1);
        QCOMPARE(rig.files.requests[0].filter, dedicated ? DedicatedFilter() : CsvFilter());
        QCOMPARE(rig.writes.size(), 1);
        QCOMPARE(rig.writes[0].kind, dedicated ? QStringLiteral("zr5") : QStringLiteral("csv"));
        QCOMPARE(rig.writes[0].path, path);
        for (int i = 0; i < MEMO_COUNT; ++i) {
            const QString typed = QStringLiteral("メモ %1").arg(i + 1);
            QCOMPARE(rig.writes[0].memo[i], typed); // the file gets the typed lines
            QCOMPARE(rig.store.Memo[i], typed);
        }
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void failedWriteIsReportedAndDialogStays() {
        Rig rig;
        const auto former = rig.store.Memo;
        auto dialog = rig.open();
        QTest::mouseClick(Type(*dialog, 1), Qt::LeftButton);
        Retype(*dialog, 2, QStringLiteral("typed"));
        const QString path = QStringLiteral("/read-only/x.zr5");
        rig.failure =
            QStringLiteral("ファイル「%1」に保存できませんでした。\n書き込みが拒否されました。")
                .arg(path);
        rig.files.answers = {path};
        Click(*dialog, "OKButton");

        QCOMPARE(rig.writes.size(), 1);
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.messages.last().text, *rig.failure);
        QCOMPARE(rig.messages.last().title, QStringLiteral("Message"));
        QCOMPARE(rig.messages.last().buttons, MsgButtons::Ok);
        QVERIFY(dialog->isVisible());
        QCOMPARE(Memo(*dialog, 2)->text(), QStringLiteral("typed"));
        QVERIFY(Type(*dialog, 1)->isChecked());
        QCOMPARE(rig.store.Memo, former); // nothing was saved

        // A reason without the path gets the path in front; a second try can then succeed.
        rig.failure = QStringLiteral("ディスクがいっぱいです。");
        rig.files.answers = {QStringLiteral("/full/y.zr5")};
        Click(*dialog, "OKButton");
        QVERIFY(rig.messages.last().text.contains(QStringLiteral("/full/y.zr5")));
        QVERIFY(rig.messages.last().text.contains(QStringLiteral("ディスクがいっぱいです。")));
        QVERIFY(dialog->isVisible());

        rig.failure.reset();
        rig.files.answers = {QStringLiteral("/ok/z.zr5")};
        Click(*dialog, "OKButton");
        QVERIFY(!dialog->isVisible());
        QCOMPARE(rig.store.Memo[2], QStringLiteral("typed"));
        QCOMPARE(rig.messages.shown.size(), 2);
    }

    void realWriters() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Rig rig;
        const auto former = rig.store.Memo;
        rig.store.Units[0].Mflag = true;
        DialogMemo dialog(rig.store, rig.files, rig.messages, CsvStoreWriter(),
                          DataFileStoreWriter());
        dialog.show();

        // A folder that does not exist: the writer's reason reaches the operator.
        const QString missing = dir.filePath(QStringLiteral("no/such/dir/x.csv"));
        rig.files.answers = {missing};
        Click(dialog, "OKButton");
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.messages.last().text.contains(missing));
        QVERIFY(dialog.isVisible());

        // A memo line CP932 cannot hold is refused, nothing is written.
        const QString target = dir.filePath(QStringLiteral("out"));
        Retype(dialog, 0, QString::fromUtf8("\xF0\x9F\x98\x80"));
        QTest::mouseClick(Type(dialog, 1), Qt::LeftButton);
        rig.files.answers = {target};
        Click(dialog, "OKButton");
        QCOMPARE(rig.messages.shown.size(), 2);
        QVERIFY(dialog.isVisible());
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(rig.store.Memo, former);

        Retype(dialog, 0, QStringLiteral("メモ"));
        rig.files.answers = {target};
        Click(dialog, "OKButton");
        QCOMPARE(rig.messages.shown.size(), 2);
        QVERIFY(!dialog.isVisible());
        QVERIFY(QFileInfo(target).size() > 0); // saved under exactly that name
    }

    void longMemoLineIsRefusedNotCut() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Rig rig;
        rig.store.Units[0].Mflag = true;
        DialogMemo dialog(rig.store, rig.files, rig.messages, CsvStoreWriter(),
                          DataFileStoreWriter());
        dialog.show();
        const QString pasted(40000, QLatin1Char('x'));
        Memo(dialog, 1)->setText(pasted);
        QCOMPARE(Memo(dialog, 1)->text().size(), pasted.size());
        QTest::mouseClick(Type(dialog, 1), Qt::LeftButton);
        const QString target = dir.filePath(QStringLiteral("long.zr5"));
        rig.files.answers = {target};
        Click(dialog, "OKButton");
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY2(rig.messages.last().text.contains(QStringLiteral("長すぎます")),
                 qPrintable(rig.messages.last().text));
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(dialog.isVisible());
        QCOMPARE(Memo(dialog, 1)->text(), pasted);
    }

    void realOpenDialogTakesOnlyExistingFiles() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString typed = dir.filePath(QStringLiteral("mistyped.zr5"));
        FakeMessageBox messages;
        QtFileDialog files(messages);
        QString warning;
        QTimer driver;
        driver.setInterval(10);
        // The dialog warns about the missing file in a box of its own and stays open.
        QObject::connect(&driver, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    warning = box->text();
                    box->close();
                    return;
                }
            }
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) {
                    if (warning.isEmpty()) {
                        TypeFileName(d, typed);
                        // Outside this handler: the timer does not fire again while it runs.
                        QTimer::singleShot(0, d, [d] { static_cast<QDialog*>(d)->accept(); });
                    } else {
                        d->reject();
                    }
                    return;
                }
            }
        });
        driver.start();
        const auto path = files.openFileName(nullptr, DedicatedFilter());
        driver.stop();
        QVERIFY2(warning.contains(QStringLiteral("mistyped.zr5")), qPrintable(warning));
        QCOMPARE(path, std::optional<QString>());
        QVERIFY(messages.shown.isEmpty());
    }

    void qtFilterForm_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("qt");
        QTest::newRow("csv") << CsvFilter() << QStringLiteral("CSVファイル  (*.csv)");
        QTest::newRow("dedicated") << DedicatedFilter() << QStringLiteral("専用ファイル  (*.zr5)");
        QTest::newRow("no trailing bar")
            << QStringLiteral("A (*.a)|*.a") << QStringLiteral("A (*.a)");
        QTest::newRow("two pairs, bare description")
            << QStringLiteral("Text|*.txt;*.log|All (*.*)|*.*|")
            << QStringLiteral("Text (*.txt *.log);;All (*.*)");
        QTest::newRow("empty") << QString() << QString();
    }
    void qtFilterForm() {
        QFETCH(QString, program);
        QFETCH(QString, qt);
        QCOMPARE(ToQtFilter(program), qt);
    }

    void savePromptsBeforeReplacingAndCreating() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString existing = dir.filePath(QStringLiteral("old.csv"));
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString fresh = dir.filePath(QStringLiteral("new"));

        FakeMessageBox messages;
        ScriptedQtFileDialog files(messages);
        // No to replacing: back to the dialog at that file; then a new file, Yes to creating.
        files.answers = {existing, fresh};
        messages.answers = {MsgAnswer::No, MsgAnswer::Yes};
        QCOMPARE(files.saveFileName(nullptr, CsvFilter()), std::optional<QString>(fresh));
        QCOMPARE(files.filters, (QStringList{QStringLiteral("CSVファイル  (*.csv)"),
                                             QStringLiteral("CSVファイル  (*.csv)")}));
        QCOMPARE(files.starts, (QStringList{QString(), existing}));
        QCOMPARE(messages.shown.size(), 2);
        QVERIFY(messages.shown[0].text.contains(existing));
        QVERIFY(messages.shown[1].text.contains(fresh));
        for (const auto& m : messages.shown) {
            QCOMPARE(m.buttons, MsgButtons::YesNo);
            QCOMPARE(m.icon, MsgIcon::Question);
        }

        // Cancel after a No ends with nothing chosen.
        messages.clear();
        files.answers = {fresh, std::nullopt};
        messages.answers = {MsgAnswer::No};
        QCOMPARE(files.saveFileName(nullptr, CsvFilter()), std::nullopt);

        // Opening asks nothing, even for a file that does not exist.
        messages.clear();
        files.answers = {fresh};
        QCOMPARE(files.openFileName(nullptr, DedicatedFilter()), std::optional<QString>(fresh));
        QCOMPARE(files.saves.last(), false);
        QVERIFY(messages.shown.isEmpty());
    }

    // The program's own save dialog adds no extension; the image save adds the chosen type's.
    void realSaveDialogExtension_data() {
        QTest::addColumn<bool>("ofType");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("none added") << false << 0 << "noext"
                                    << "noext";
        QTest::newRow("first type") << true << 0 << "noext"
                                    << "noext.png";
        QTest::newRow("type chosen") << true << 1 << "noext"
                                     << "noext.svg";
        QTest::newRow("own extension") << true << 1 << "name.pdf"
                                       << "name.pdf";
    }
    void realSaveDialogExtension() {
        QFETCH(bool, ofType);
        QFETCH(int, type);
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        FakeMessageBox messages; // answers Yes to "create?"
        QtFileDialog files(messages);

        QString seenFilter;
        int tries = 0;
        QTimer driver;
        driver.setInterval(10);
        // Keeps answering until the dialog is gone: the dialog may still be loading its folder
        // when first seen, and a refused accept must not leave the test waiting forever.
        QObject::connect(&driver, &QTimer::timeout, [&] {
            QFileDialog* dialog = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) {
                    dialog = d;
                }
            }
            if (!dialog) {
                return;
            }
            if (++tries > 3000) {
                static_cast<QDialog*>(dialog)->reject();
                return;
            }
            // The operator picks a file type as with the mouse.
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            combo->setCurrentIndex(type);
            Q_EMIT combo->activated(type);
            Q_EMIT combo->textActivated(combo->currentText());
            seenFilter = dialog->selectedNameFilter();
            TypeFileName(dialog, dir.filePath(typed));
            static_cast<QDialog*>(dialog)->accept(); // virtual: the file dialog's own accept
        });
        driver.start();
        const auto path = ofType ? files.saveFileNameOfType(nullptr, QcpChartMenu::ImageFilter())
                                 : files.saveFileName(nullptr, DedicatedFilter());
        driver.stop();
        if (!ofType) {
            QCOMPARE(seenFilter, QStringLiteral("専用ファイル  (*.zr5)"));
        }
        QCOMPARE(path, std::optional<QString>(dir.filePath(saved)));
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(messages.last().text.contains(dir.filePath(saved)));
    }
};

QTEST_MAIN(TestDialogMemo)
#include "test_dialog_memo.moc"
