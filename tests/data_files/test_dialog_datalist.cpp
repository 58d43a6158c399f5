// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/DatalistModel.h"
#include "data_files/DialogDatalist.h"
#include "platform/Fonts.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace k12;

namespace {

const QString kMissing = QString(6, QLatin1Char(' ')) + QString(2, QChar(0x3000));
const QString kUnused = QString(5, QLatin1Char(' ')) + QString(2, QChar(0x3000));

// Units 1, 2 and 4 in use, unit 3 not; rows as given for units 1, 2 and 4.
void Fill(MeasurementStore& store, const QList<std::array<float, 3>>& rows) {
    store.InitDataArea();
    store.ClearData();
    store.Units[0].Mflag = true;
    store.Units[1].Mflag = true;
    store.Units[2].Mflag = false;
    store.Units[3].Mflag = true;
    for (int k = 0; k < rows.size(); ++k) {
        store.Units[0].Data[k] = rows[k][0];
        store.Units[1].Data[k] = rows[k][1];
        store.Units[3].Data[k] = rows[k][2];
    }
    store.SampleCount = static_cast<int32_t>(rows.size());
}

QString Text(const QWidget& w, const char* name) {
    auto* label = w.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

} // namespace

class TestDialogDatalist : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { RegisterFontSubstitutes(); }

    void formatDegree_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("12.3456") << 12.3456f << QStringLiteral("    12.346");
        QTest::newRow("-5") << -5.0f << QStringLiteral("    -5.000");
        QTest::newRow("-123.4567") << -123.4567f << QStringLiteral("  -123.457");
        QTest::newRow("zero") << 0.0f << QStringLiteral("     0.000");
        QTest::newRow("below one") << 0.5f << QStringLiteral("     0.500");
        QTest::newRow("ten chars") << 12345.5f << QStringLiteral(" 12345.500");
        QTest::newRow("longer kept") << 1234567.0f << QStringLiteral("1234567.000");
    }
    void formatDegree() {
        QFETCH(float, value);
        QFETCH(QString, text);
        QCOMPARE(FormatDegree(value), text);
    }

    void linesPerUnitState() {
        MeasurementStore store;
        Fill(store, {{12.3456f, NO_DATA_VALUE, -123.4567f}, {0.0f, 180.0f, -5.0f}});
        store.Units[2].Data[0] = 42.0f; // ignored: unit 3 is not in use
        DatalistModel model(store);
        QCOMPARE(model.rowCount(), 2);
        const QString sp = QStringLiteral(" ");
        QCOMPARE(model.line(0), QStringLiteral("    12.346") + sp + kMissing + sp + kUnused + sp +
                                    QStringLiteral("  -123.457"));
        QCOMPARE(model.line(1), QStringLiteral("     0.000") + sp + QStringLiteral("   180.000") +
                                    sp + kUnused + sp + QStringLiteral("    -5.000"));
        QCOMPARE(model.data(model.index(1), Qt::DisplayRole).toString(), model.line(1));
    }

    void openingShowsCountFirstLinesNothingSelected() {
        MeasurementStore store;
        QList<std::array<float, 3>> rows;
        for (int k = 0; k < 500; ++k) {
            rows.append({float(k), -float(k), 1.5f});
        }
        Fill(store, rows);
        DialogDatalist dialog(store);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QCOMPARE(dialog.windowTitle(), QStringLiteral("データ表示"));
        QVERIFY(!dialog.isModal());
        QCOMPARE(Text(dialog, "Label1"), QStringLiteral("データ数"));
        QCOMPARE(Text(dialog, "lblDataNum"), QStringLiteral("500"));
        QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("OKButton"))->text(),
                 QStringLiteral("閉じる"));
        QCOMPARE(dialog.list()->model()->rowCount(), 500);
        QVERIFY(dialog.list()->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(dialog.list()->indexAt(QPoint(2, 2)).row(), 0);
    }

    void headingsStandOverTheirColumns() {
        MeasurementStore store;
        Fill(store, {{1.0f, 2.0f, 3.0f}});
        DialogDatalist dialog(store);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        const QFont font = dialog.list()->font();
        const QFontMetrics fm(font);
        const int cw = fm.horizontalAdvance(QLatin1Char('0'));
        // Fixed pitch for everything a line holds.
        for (const QChar c : QStringLiteral(" -.123456789W")) {
            QVERIFY2(fm.horizontalAdvance(c) == cw, qPrintable(QFontInfo(font).family()));
        }
        // A missing value fills the ten columns of a number.
        QCOMPARE(fm.horizontalAdvance(kMissing), 10 * cw);

        const QRect first = dialog.list()->visualRect(dialog.list()->model()->index(0, 0));
        for (int u = 0; u < UNIT_COUNT; ++u) {
            auto* label = dialog.findChild<QLabel*>(QStringLiteral("Label2_%1").arg(u));
            QVERIFY(label);
            QCOMPARE(label->text(), QString::number(u + 1));
            const int viewportLeft = dialog.list()->viewport()->mapTo(&dialog, QPoint()).x();
            const int centre =
                label->mapTo(&dialog, label->rect().center()).x() - viewportLeft - first.x();
            const int start = u * DATALIST_COLUMN_CHARS * cw;
            QVERIFY2(
                centre > start && centre < start + 10 * cw + 6,
                qPrintable(
                    QStringLiteral("unit %1 centre %2 start %3").arg(u).arg(centre).arg(start)));
        }
        // The four columns fit without a horizontal scroll.
        QVERIFY(dialog.list()->viewport()->width() >= UNIT_COUNT * DATALIST_COLUMN_CHARS * cw);
    }

    void closedOnButtonAndCloseBox() {
        MeasurementStore store;
        Fill(store, {{1.0f, 2.0f, 3.0f}});
        {
            DialogDatalist dialog(store);
            QSignalSpy spy(&dialog, &DialogDatalist::closed);
            dialog.show();
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("OKButton")),
                              Qt::LeftButton);
            QCOMPARE(spy.count(), 1);
            QVERIFY(!dialog.isVisible());
            dialog.close(); // closing a window that is not open does nothing
            QCOMPARE(spy.count(), 1);
        }
        {
            DialogDatalist dialog(store);
            QSignalSpy spy(&dialog, &DialogDatalist::closed);
            dialog.show();
            QVERIFY(dialog.close()); // the close box
            QCOMPARE(spy.count(), 1);
            QVERIFY(!dialog.isVisible());
        }
        {
            DialogDatalist dialog(store);
            QSignalSpy spy(&dialog, &DialogDatalist::closed);
            dialog.show();
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QCOMPARE(spy.count(), 1);
        }
    }

    void mainWindowUse() {
        // As the main window holds it: parented, deleted on close, cmdDisp wired to closed().
        MeasurementStore store;
        Fill(store, {{1.0f, 2.0f, 3.0f}});
        QWidget mainWindow;
        QPushButton cmdDisp(&mainWindow);
        QPointer<DialogDatalist> dialog = new DialogDatalist(store, &mainWindow);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &DialogDatalist::closed, &cmdDisp, [&] { cmdDisp.setEnabled(true); });
        dialog->show();
        cmdDisp.setEnabled(false);
        dialog->close();
        QVERIFY(cmdDisp.isEnabled());
        QTRY_VERIFY(dialog.isNull());
    }

    void linesStayWhileTheStoreChanges() {
        MeasurementStore store;
        Fill(store, {{1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}});
        DialogDatalist dialog(store);
        dialog.show();
        const QString before = dialog.model()->line(1);

        // A file read: the store is cleared and refilled with other units and more rows.
        store.ClearData();
        store.Units[0].Mflag = false;
        store.Units[2].Mflag = true;
        store.Units[1].Data[1] = 77.0f;
        store.SampleCount = 3000;
        QCoreApplication::processEvents();

        QCOMPARE(Text(dialog, "lblDataNum"), QStringLiteral("2"));
        QCOMPARE(dialog.list()->model()->rowCount(), 2);
        QCOMPARE(dialog.model()->line(1), before);
    }

    void emptyOrShortStore() {
        MeasurementStore store; // arrays never allocated: rows read as missing
        store.Units[0].Mflag = true;
        store.SampleCount = 2;
        DatalistModel model(store);
        QCOMPARE(model.line(1).left(8), kMissing);

        store.SampleCount = 0;
        DialogDatalist dialog(store);
        QCOMPARE(Text(dialog, "lblDataNum"), QStringLiteral("0"));
        QCOMPARE(dialog.list()->model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestDialogDatalist)
#include "test_dialog_datalist.moc"
