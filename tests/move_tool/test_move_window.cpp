// SPDX-License-Identifier: GPL-3.0-or-later
#include "move_tool/DialogMoveWindow.h"

#include <QPushButton>
#include <QtTest>
#include <memory>

using namespace k12;

namespace {

constexpr double kTwipsPerPixel = 15.0;

QPoint TwipsOf(const QWidget& w) {
    return w.frameGeometry().topLeft() * kTwipsPerPixel;
}

} // namespace

class TestMoveWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> m_main;

    void ResizeOuter(int w, int h) {
        const QSize frame = m_main->frameGeometry().size() - m_main->size();
        m_main->resize(w - frame.width(), h - frame.height());
        QCOMPARE(m_main->frameGeometry().size(), QSize(w, h));
    }

  private Q_SLOTS:
    void init() {
        m_main = std::make_unique<QWidget>();
        m_main->resize(400, 300);
        m_main->move(0, 0);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
        ResizeOuter(833, 627); // 12495 x 9405 twips
    }
    void cleanup() { m_main.reset(); }

    void stepsRoundHalvesToEven_data() {
        QTest::addColumn<double>("twips");
        QTest::addColumn<int>("step");
        QTest::newRow("12495") << 12495.0 << 2499;
        QTest::newRow("9405") << 9405.0 << 1881;
        QTest::newRow("half down to even") << 12.5 << 2;
        QTest::newRow("half up to even") << 17.5 << 4;
        QTest::newRow("below half") << 12.4 << 2;
    }
    void stepsRoundHalvesToEven() {
        QFETCH(double, twips);
        QFETCH(int, step);
        QCOMPARE(DialogMoveWindow::StepOf(twips), step);
    }

    void toolWindowLayout() {
        DialogMoveWindow tool(m_main.get(), kTwipsPerPixel);
        QCOMPARE(tool.MoveStepX(), 2499);
        QCOMPARE(tool.MoveStepY(), 1881);
        QCOMPARE(tool.windowTitle(), QStringLiteral("移動"));
        QVERIFY(tool.windowFlags().testFlag(Qt::Tool));
        QVERIFY(!tool.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!tool.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(tool.minimumSize(), QSize(104, 103));
        QCOMPARE(tool.maximumSize(), QSize(104, 103));
        const QStringList captions{QStringLiteral("←"), QStringLiteral("→"), QStringLiteral("↑"),
                                   QStringLiteral("↓"), QStringLiteral("□")};
        const QStringList tips{QStringLiteral("左に移動"), QStringLiteral("右に移動"),
                               QStringLiteral("上に移動"), QStringLiteral("下に移動"),
                               QStringLiteral("左上合わせ")};
        const QList<QRect> rects{QRect(8, 40, 25, 25), QRect(72, 40, 25, 25), QRect(40, 8, 25, 25),
                                 QRect(40, 72, 25, 25), QRect(40, 40, 25, 25)};
        for (int i = 0; i < DialogMoveWindow::kButtonCount; ++i) {
            QCOMPARE(tool.cmdMV(i)->text(), captions[i]);
            QCOMPARE(tool.cmdMV(i)->toolTip(), tips[i]);
            QCOMPARE(tool.cmdMV(i)->geometry(), rects[i]);
        }
    }

    void movesByStepsAndToTheCorner() {
        DialogMoveWindow tool(m_main.get(), kTwipsPerPixel);
        m_main->move(300, 200);
        const QPoint start = TwipsOf(*m_main);
        QTest::mouseClick(tool.cmdMV(1), Qt::LeftButton);
        QVERIFY(std::abs(TwipsOf(*m_main).x() - (start.x() + 2499)) < 15);
        QCOMPARE(TwipsOf(*m_main).y(), start.y());
        QTest::mouseClick(tool.cmdMV(3), Qt::LeftButton);
        QVERIFY(std::abs(TwipsOf(*m_main).y() - (start.y() + 1881)) < 15);
        QTest::mouseClick(tool.cmdMV(2), Qt::LeftButton);
        QTest::mouseClick(tool.cmdMV(0), Qt::LeftButton);
        QCOMPARE(m_main->frameGeometry().topLeft(), QPoint(300, 200));
        QCOMPARE(m_main->frameGeometry().size(), QSize(833, 627)); // only the position changes

        QTest::mouseClick(tool.cmdMV(4), Qt::LeftButton);
        QCOMPARE(m_main->frameGeometry().topLeft(), QPoint(0, 0));
    }

    void fiveLeftsFiveRightsReturn() {
        DialogMoveWindow tool(m_main.get(), kTwipsPerPixel);
        QTest::mouseClick(tool.cmdMV(4), Qt::LeftButton);
        for (int i = 0; i < 5; ++i) {
            QTest::mouseClick(tool.cmdMV(0), Qt::LeftButton);
        }
        // About its own width beyond the left edge: no bound applies.
        QVERIFY(std::abs(TwipsOf(*m_main).x() + 5 * 2499) < 15);
        for (int i = 0; i < 5; ++i) {
            QTest::mouseClick(tool.cmdMV(1), Qt::LeftButton);
        }
        QCOMPARE(m_main->frameGeometry().topLeft(), QPoint(0, 0));
        for (int i = 0; i < 5; ++i) {
            QTest::mouseClick(tool.cmdMV(2), Qt::LeftButton);
        }
        for (int i = 0; i < 5; ++i) {
            QTest::mouseClick(tool.cmdMV(3), Qt::LeftButton);
        }
        QCOMPARE(m_main->frameGeometry().topLeft(), QPoint(0, 0));
    }

    void stepsAreTakenAtLoad() {
        DialogMoveWindow tool(m_main.get(), kTwipsPerPixel);
        m_main->resize(100, 100);
        QCOMPARE(tool.MoveStepX(), 2499);
        QCOMPARE(tool.MoveStepY(), 1881);
    }

    void launcherKeepsOneWindow() {
        auto* launcher = new MoveToolLauncher(m_main.get(), kTwipsPerPixel);
        QVERIFY(launcher->Window() == nullptr);
        // The four corner buttons all go through the same launcher.
        DialogMoveWindow* first = launcher->Show();
        QVERIFY(first != nullptr);
        QCOMPARE(first->parentWidget(), m_main.get());
        QVERIFY(first->isVisible());
        for (int corner = 1; corner < 4; ++corner) {
            QCOMPARE(launcher->Show(), first);
        }
        QCOMPARE(m_main->findChildren<DialogMoveWindow*>().size(), 1);

        // Closing discards the window; the next click creates a new one with fresh steps.
        QPointer<DialogMoveWindow> closed = first;
        ResizeOuter(500, 400);
        QVERIFY(first->close());
        QTRY_VERIFY(closed.isNull());
        QVERIFY(launcher->Window() == nullptr);
        DialogMoveWindow* second = launcher->Show();
        QVERIFY(second != nullptr);
        QCOMPARE(second->MoveStepX(), 1500);
        QCOMPARE(second->MoveStepY(), 1200);
        QCOMPARE(m_main->findChildren<DialogMoveWindow*>().size(), 1);
    }

    void screenScale() {
        // 1440 twips per inch over the screen's logical DPI.
        const double tpp = DialogMoveWindow::ScreenTwipsPerPixel(m_main.get());
        QCOMPARE(tpp, 1440.0 / m_main->screen()->logicalDotsPerInch());
    }
};

QTEST_MAIN(TestMoveWindow)
#include "test_move_window.moc"
