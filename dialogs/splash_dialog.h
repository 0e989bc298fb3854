#pragma once
// The picture shown for two seconds before the main window: ends on its
// timer (as if cancelled), at once on Enter (OK) or Escape (Cancel).

#include <QDialog>
#include <QPixmap>
#include <QTimer>

class QKeyEvent;
class QLabel;
class QShowEvent;

namespace vorna {

inline constexpr int SPLASH_TIME_MS = 2000;

class SplashDialog final : public QDialog {
  Q_OBJECT

 public:
  // The window takes the size of `picture` plus its margins.
  explicit SplashDialog(const QPixmap& picture, QWidget* parent = nullptr);

  QLabel& picture() const { return *picture_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void OnTimer();

  QLabel* picture_;
  QTimer timer_;
};

}  // namespace vorna
