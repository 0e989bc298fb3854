// The board commands of the main window's menu.

#include "app/main_window.h"

namespace vorna {

void MainWindow::RunQuickSetting() {}

void MainWindow::RunAdvancedSetting() {}

void MainWindow::RunComPort() {}

void MainWindow::RunDownload() {}

}  // namespace vorna
