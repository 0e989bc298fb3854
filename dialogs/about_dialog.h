#pragma once
// The About box: the icon, the application name with the version, OK.

#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;

namespace vorna {

class AboutDialog final : public QDialog {
  Q_OBJECT

 public:
  // `icon` is the application's icon, drawn at the template's icon size.
  AboutDialog(QWidget& owner, const QString& applicationName, const QIcon& icon);

  QLabel& icon() const { return *icon_; }
  QLabel& versionText() const { return *versionText_; }
  QPushButton& okButton() const { return *okButton_; }

 private:
  QLabel* icon_;
  QLabel* versionText_;
  QPushButton* okButton_;
};

}  // namespace vorna
