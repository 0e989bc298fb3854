#include "dialogs/splash_dialog.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>

#include "dialogs/dialog_units.h"

namespace vorna {
namespace {

// The picture's place; the window keeps the same margin on every side.
constexpr int PICTURE_MARGIN_DLU = 7;

}  // namespace

SplashDialog::SplashDialog(const QPixmap& picture, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), picture_(new QLabel(this)) {
  setFont(TemplateFont(SPLASH_FONT_POINTS));
  const DialogUnits units(font());

  // A raised panel stands in for the dialog frame that a window without a
  // caption bar gets from the desktop.
  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
  frame->lower();

  picture_->setPixmap(picture);
  const QRect pictureRect(QPoint(units.ToPixelsX(PICTURE_MARGIN_DLU), units.ToPixelsY(PICTURE_MARGIN_DLU)),
                          picture.deviceIndependentSize().toSize());
  picture_->setGeometry(pictureRect);

  const QSize size(pictureRect.right() + 1 + pictureRect.left(), pictureRect.bottom() + 1 + pictureRect.top());
  setFixedSize(size);
  frame->setGeometry(rect());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect placed(QPoint(), size);
    placed.moveCenter(screen->availableGeometry().center());
    move(placed.topLeft());
  }

  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(SPLASH_TIME_MS);
  connect(&timer_, &QTimer::timeout, this, &SplashDialog::OnTimer);
}

void SplashDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) timer_.start();
}

void SplashDialog::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      accept();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

void SplashDialog::OnTimer() {
  timer_.stop();
  close();
}

}  // namespace vorna
