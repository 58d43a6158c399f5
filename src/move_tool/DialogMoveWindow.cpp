// SPDX-License-Identifier: GPL-3.0-or-later
#include "move_tool/DialogMoveWindow.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QScreen>
#include <cmath>

namespace k12 {

namespace {

constexpr double kTwipsPerInch = 1440.0;

struct ButtonSpec {
    const char* caption;
    const char* toolTip;
    int left; // twips
    int top;
};

constexpr std::array<ButtonSpec, DialogMoveWindow::kButtonCount> kButtons{{
    {"←", QT_TRANSLATE_NOOP("MoveTool", "左に移動"), 120, 600},
    {"→", QT_TRANSLATE_NOOP("MoveTool", "右に移動"), 1080, 600},
    {"↑", QT_TRANSLATE_NOOP("MoveTool", "上に移動"), 600, 120},
    {"↓", QT_TRANSLATE_NOOP("MoveTool", "下に移動"), 600, 1080},
    {"□", QT_TRANSLATE_NOOP("MoveTool", "左上合わせ"), 600, 600},
}};
constexpr int kButtonTwips = 375;
constexpr int kClientWidthTwips = 1560;
constexpr int kClientHeightTwips = 1545;

// The default rounding mode rounds halves to even.
int32_t RoundToInt(double v) {
    return static_cast<int32_t>(std::nearbyint(v));
}

} // namespace

DialogMoveWindow::DialogMoveWindow(QWidget* mainWindow, double twipsPerPixel)
    : QWidget(mainWindow,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_main(mainWindow),
      m_twipsPerPixel(twipsPerPixel > 0.0 ? twipsPerPixel : ScreenTwipsPerPixel(mainWindow)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QCoreApplication::translate("MoveTool", "移動"));
    const auto px = [this](int twips) { return RoundToInt(twips / m_twipsPerPixel); };
    setFixedSize(px(kClientWidthTwips), px(kClientHeightTwips));
    for (int i = 0; i < kButtonCount; ++i) {
        const ButtonSpec& spec = kButtons.at(static_cast<size_t>(i));
        auto* button = new QPushButton(QString::fromUtf8(spec.caption), this);
        button->setToolTip(QCoreApplication::translate("MoveTool", spec.toolTip));
        button->setGeometry(px(spec.left), px(spec.top), px(kButtonTwips), px(kButtonTwips));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, [this, i] { MoveMain(i); });
        m_cmdMV.at(static_cast<size_t>(i)) = button;
    }
    const QSize outer = m_main->frameGeometry().size();
    m_moveStepX = StepOf(outer.width() * m_twipsPerPixel);
    m_moveStepY = StepOf(outer.height() * m_twipsPerPixel);
}

int32_t DialogMoveWindow::StepOf(double outerTwips) {
    return RoundToInt(outerTwips / 5.0);
}

double DialogMoveWindow::ScreenTwipsPerPixel(const QWidget* widget) {
    const QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    return kTwipsPerInch / (dpi > 0.0 ? dpi : 96.0);
}

QPoint DialogMoveWindow::MainPositionTwips() const {
    const QPoint pixels = m_main->frameGeometry().topLeft();
    if (m_hasLast && pixels == m_lastPixels) {
        return m_lastTwips;
    }
    return QPoint(RoundToInt(pixels.x() * m_twipsPerPixel),
                  RoundToInt(pixels.y() * m_twipsPerPixel));
}

void DialogMoveWindow::MoveMain(int index) {
    if (m_main.isNull()) {
        return;
    }
    QPoint twips = MainPositionTwips();
    switch (index) {
    case 0:
        twips.rx() -= m_moveStepX;
        break;
    case 1:
        twips.rx() += m_moveStepX;
        break;
    case 2:
        twips.ry() -= m_moveStepY;
        break;
    case 3:
        twips.ry() += m_moveStepY;
        break;
    case 4:
        twips = QPoint(0, 0);
        break;
    default:
        return;
    }
    const QPoint pixels(RoundToInt(twips.x() / m_twipsPerPixel),
                        RoundToInt(twips.y() / m_twipsPerPixel));
    // Left edge first, then top edge; no bounds, the window may leave the screen.
    m_main->move(pixels.x(), m_main->frameGeometry().y());
    m_main->move(pixels.x(), pixels.y());
    m_lastTwips = twips;
    m_lastPixels = m_main->frameGeometry().topLeft();
    m_hasLast = true;
}

MoveToolLauncher::MoveToolLauncher(QWidget* mainWindow, double twipsPerPixel)
    : QObject(mainWindow), m_main(mainWindow), m_twipsPerPixel(twipsPerPixel) {}

DialogMoveWindow* MoveToolLauncher::Show() {
    if (m_window.isNull()) {
        m_window = new DialogMoveWindow(m_main, m_twipsPerPixel);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return m_window;
}

} // namespace k12
