// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>

class QPushButton;

namespace k12 {

// Tool window that moves the main window by a fifth of its outer size, or to the screen's
// top left corner. The steps are taken once, when the window is created.
class DialogMoveWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kButtonCount = 5;

    // `twipsPerPixel` 0: derived from the screen's logical DPI (15 at 96 dpi).
    explicit DialogMoveWindow(QWidget* mainWindow, double twipsPerPixel = 0.0);

    int32_t MoveStepX() const { return m_moveStepX; }
    int32_t MoveStepY() const { return m_moveStepY; }
    double TwipsPerPixel() const { return m_twipsPerPixel; }
    QPushButton* cmdMV(int index) const { return m_cmdMV.at(static_cast<size_t>(index)); }

    // The click on cmdMV(index).
    void MoveMain(int index);

    // One fifth, rounded to the nearest integer with halves to even.
    static int32_t StepOf(double outerTwips);
    static double ScreenTwipsPerPixel(const QWidget* widget);

  private:
    QPoint MainPositionTwips() const;

    QPointer<QWidget> m_main;
    double m_twipsPerPixel;
    int32_t m_moveStepX = 0;
    int32_t m_moveStepY = 0;
    std::array<QPushButton*, kButtonCount> m_cmdMV{};
    // The last position set, in twips and in pixels: pixel rounding must not make a
    // left-then-right sequence drift.
    QPoint m_lastTwips;
    QPoint m_lastPixels;
    bool m_hasLast = false;
};

// Owns the single move tool of a main window: the first Show creates it, later ones only bring
// it forward; after it was closed the next Show creates a new one.
class MoveToolLauncher : public QObject {
    Q_OBJECT
  public:
    explicit MoveToolLauncher(QWidget* mainWindow, double twipsPerPixel = 0.0);

    DialogMoveWindow* Window() const { return m_window; }

  public Q_SLOTS:
    DialogMoveWindow* Show();

  private:
    QWidget* m_main;
    double m_twipsPerPixel;
    QPointer<DialogMoveWindow> m_window;
};

} // namespace k12
