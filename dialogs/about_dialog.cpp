#include "dialogs/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>

#include "dialogs/dialog_units.h"
#include "vorna_version.h"

namespace vorna {
namespace {

constexpr int DIALOG_WIDTH_DLU = 235;
constexpr int DIALOG_HEIGHT_DLU = 55;
constexpr DluRect ICON_RECT{11, 17, 20, 20};
constexpr DluRect TEXT_RECT{40, 10, 119, 8};
constexpr DluRect OK_RECT{178, 7, 50, 14};

}  // namespace

AboutDialog::AboutDialog(QWidget& owner, const QString& applicationName, const QIcon& icon)
    : QDialog(&owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      icon_(new QLabel(this)),
      versionText_(new QLabel(this)),
      okButton_(new QPushButton(tr("OK"), this)) {
  setWindowTitle(tr("About %1").arg(applicationName));
  setFont(TemplateFont(TEMPLATE_FONT_POINTS));
  const DialogUnits units(font());
  setFixedSize(units.ToPixels(DIALOG_WIDTH_DLU, DIALOG_HEIGHT_DLU));

  Place(*icon_, units, ICON_RECT);
  const QSize iconSize = icon_->size();
  icon_->setPixmap(icon.pixmap(std::min(iconSize.width(), iconSize.height())));
  icon_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  icon_->setAccessibleName(tr("%1 icon").arg(applicationName));

  versionText_->setTextFormat(Qt::PlainText);
  versionText_->setText(tr("%1 Version %2").arg(applicationName, QStringLiteral(VORNA_VERSION)));
  Place(*versionText_, units, TEXT_RECT);

  okButton_->setDefault(true);
  Place(*okButton_, units, OK_RECT);
  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
  okButton_->setFocus();
}

}  // namespace vorna
