#include "dialogs/command_dialog.h"

#include <QMargins>
#include <QScreen>

namespace vorna {
namespace {

Qt::WindowFlags CommandDialogFlags(bool closeBox) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (closeBox) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  return flags;
}

// The decoration around a shown window's client area.
QMargins FrameMargins(const QWidget& window) {
  const QRect frame = window.frameGeometry();
  const QRect client = window.geometry();
  return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
          frame.bottom() - client.bottom()};
}

}  // namespace

CommandDialog::CommandDialog(QWidget& owner, const QString& caption, int widthDlu, int heightDlu, bool closeBox)
    : QDialog(&owner, CommandDialogFlags(closeBox)), units_(TemplateFont(TEMPLATE_FONT_POINTS)) {
  setWindowTitle(caption);
  setFont(TemplateFont(TEMPLATE_FONT_POINTS));
  setFixedSize(units_.ToPixels(widthDlu, heightDlu));
}

void CommandDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
  if (owner == nullptr || owner->screen() == nullptr) return;
  // The dialog has no frame yet; the owner's decoration is the best guess
  // of the one the desktop will give it.
  const QSize frameSize = size().grownBy(FrameMargins(*owner));
  move(CentredInside(frameSize, owner->frameGeometry(), owner->screen()->availableGeometry()).topLeft());
}

QRect CentredInside(const QSize& frameSize, const QRect& ownerFrame, const QRect& workArea) {
  QRect frame(QPoint(), frameSize);
  frame.moveCenter(ownerFrame.center());
  if (frame.right() > workArea.right()) frame.moveRight(workArea.right());
  if (frame.bottom() > workArea.bottom()) frame.moveBottom(workArea.bottom());
  if (frame.left() < workArea.left()) frame.moveLeft(workArea.left());
  if (frame.top() < workArea.top()) frame.moveTop(workArea.top());
  return frame;
}

}  // namespace vorna
