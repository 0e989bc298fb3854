#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings/settings_file.h"
#include "dialogs/dialog_units.h"
#include "gui_test_support.h"

namespace vorna {
namespace {

using test::ExecWith;
using test::ModalWatchdog;
using test::TempFolder;
using test::WATCHDOG_RESULT;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

class MainWindowTest : public ::testing::Test {
 protected:
  AppPaths Paths() const { return {"other", folder_.File("other.ini"), folder_.File("VORNAHLP.html")}; }

  TempFolder folder_;
};

TEST_F(MainWindowTest, CaptionAndIcons) {
  MainWindow window(Paths());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("FM Transmitter Setting"));
  const QList<QSize> sizes = window.windowIcon().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

struct ExpectedItem {
  QString menu;
  QString text;  // empty for a separator
  int commandId;
};

// A menu text as the user reads it: the mnemonic's '&' removed.
QString WithoutMnemonic(QString text) { return text.remove(QLatin1Char('&')); }

// The letter a text's '&' marks, lower case; '\0' when it has none, or more
// than one.
QChar Mnemonic(const QString& text) {
  const qsizetype at = text.indexOf(QLatin1Char('&'));
  if (at < 0 || at + 1 >= text.size() || text.indexOf(QLatin1Char('&'), at + 1) >= 0) return QChar();
  return text.at(at + 1).toLower();
}

// Every menu and item has a letter of its own on its level.
TEST_F(MainWindowTest, MenusAndItemsHaveMnemonicsThatDoNotClash) {
  MainWindow window(Paths());
  QString titles;
  for (const QAction* menuAction : window.menuBar().actions()) {
    const QChar title = Mnemonic(menuAction->text());
    EXPECT_TRUE(title.isLetter()) << menuAction->text().toStdString();
    EXPECT_FALSE(titles.contains(title)) << menuAction->text().toStdString();
    titles += title;
    QString items;
    for (const QAction* item : menuAction->menu()->actions()) {
      if (item->isSeparator()) continue;
      const QChar letter = Mnemonic(item->text());
      EXPECT_TRUE(letter.isLetter()) << item->text().toStdString();
      EXPECT_FALSE(items.contains(letter)) << item->text().toStdString();
      items += letter;
    }
  }
  EXPECT_EQ(titles, QStringLiteral("sot"));
}

TEST_F(MainWindowTest, AltAndTheLetterOpensItsMenu) {
  MainWindow window(Paths());
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QMenu* other = window.menuBar().actions().at(2)->menu();
  QTest::keyClick(&window, Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([other] { return other->isVisible(); }, 2000));
  other->close();
}

TEST_F(MainWindowTest, MenuBarHoldsTheItemsInOrder) {
  const std::vector<ExpectedItem> expected = {
      {"Setting", "Quick", 32771},
      {"Setting", "Advanced", 16},
      {"Option", "COM Port", 32772},
      {"Option", "Download", 32773},
      {"Option", "", 0},
      {"Option", "Save Board Settings...", 32777},
      {"Option", "Load Board Settings...", 32778},
      {"Other", "Help", 32775},
      {"Other", "", 0},
      {"Other", "About VORNA...", 32776},
  };
  MainWindow window(Paths());
  std::vector<ExpectedItem> actual;
  for (const QAction* menuAction : window.menuBar().actions()) {
    for (const QAction* item : menuAction->menu()->actions()) {
      actual.push_back({WithoutMnemonic(menuAction->text()),
                        item->isSeparator() ? QString() : WithoutMnemonic(item->text()),
                        item->isSeparator() ? 0 : item->data().toInt()});
      EXPECT_TRUE(item->isEnabled());
      const int id = item->data().toInt();
      EXPECT_EQ(item->shortcut(), id == ID_HELP ? QKeySequence(Qt::Key_F1) : QKeySequence()) << id;
    }
  }
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i].menu, expected[i].menu) << i;
    EXPECT_EQ(actual[i].text, expected[i].text) << i;
    EXPECT_EQ(actual[i].commandId, expected[i].commandId) << i;
  }
  for (const int id : {ID_QUICK_SETTING, ID_ADVANCED_SETTING, ID_COM_PORT, ID_DOWNLOAD, ID_SAVE_PROFILE,
                       ID_LOAD_PROFILE, ID_HELP, ID_ABOUT}) {
    ASSERT_NE(window.action(id), nullptr) << id;
    EXPECT_EQ(window.action(id)->data().toInt(), id);
  }
  EXPECT_EQ(window.action(1), nullptr);
}

TEST_F(MainWindowTest, ControlsSitWhereTheTemplatePutsThem) {
  MainWindow window(Paths());
  const DialogUnits units(TemplateFont(TEMPLATE_FONT_POINTS));
  const int menuHeight = window.menuBar().height();
  auto inWindow = [&window](const QWidget& widget) { return QRect(widget.mapTo(&window, QPoint()), widget.size()); };
  EXPECT_EQ(inWindow(window.closeButton()), units.ToPixels({54, 145, 40, 14}).translated(0, menuHeight));
  EXPECT_EQ(inWindow(window.statusPane()), units.ToPixels({7, 7, 132, 129}).translated(0, menuHeight));
  EXPECT_EQ(window.size(), units.ToPixels(147, 174) + QSize(0, menuHeight));
  EXPECT_EQ(window.closeButton().text(), QStringLiteral("Close"));
  EXPECT_TRUE(window.closeButton().isDefault());
  EXPECT_EQ(window.cancelButton().text(), QStringLiteral("Cancel"));
  window.show();
  EXPECT_TRUE(window.closeButton().isVisible());
  EXPECT_FALSE(window.cancelButton().isVisible());
  EXPECT_EQ(window.focusWidget(), &window.closeButton());
}

// A desktop may give menus a font of their own; however large, every menu
// title stays in the bar, and the window widens for it.
class MenuFontTest : public MainWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(MenuFontTest, MenuBarNeverCutsATitle) {
  QFont menuFont = QApplication::font();
  menuFont.setPointSize(GetParam());
  QApplication::setFont(menuFont, "QMenuBar");
  MainWindow window(Paths());
  QApplication::setFont(QApplication::font(), "QMenuBar");
  window.show();
  EXPECT_EQ(window.menuBar().font().pointSize(), GetParam());
  const DialogUnits units(TemplateFont(TEMPLATE_FONT_POINTS));
  EXPECT_GE(window.width(), units.ToPixelsX(147));
  EXPECT_GE(window.menuBar().width(), window.menuBar().sizeHint().width());
  for (QAction* menu : window.menuBar().actions()) {
    SCOPED_TRACE(menu->text().toStdString());
    const QRect title = window.menuBar().actionGeometry(menu);
    EXPECT_FALSE(title.isEmpty());
    EXPECT_LE(title.right(), window.menuBar().width());
  }
}

INSTANTIATE_TEST_SUITE_P(PointSizes, MenuFontTest, ::testing::Values(8, 14, 24, 40));

TEST_F(MainWindowTest, OpensInTheTopLeftCorner) {
  MainWindow window(Paths());
  window.show();
  EXPECT_EQ(window.frameGeometry().topLeft(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
}

TEST_F(MainWindowTest, StatusPaneShowsLinesAndCannotBeEdited) {
  MainWindow window(Paths());
  QPlainTextEdit& pane = window.statusPane();
  EXPECT_TRUE(pane.toPlainText().isEmpty());
  EXPECT_TRUE(pane.isReadOnly());

  window.SetStatusText(" PE = 1\r\n PDX = 0\r\n CEX = 3");
  EXPECT_EQ(pane.toPlainText(), QStringLiteral(" PE = 1\n PDX = 0\n CEX = 3"));
  EXPECT_EQ(window.StatusText(), " PE = 1\r\n PDX = 0\r\n CEX = 3");

  window.show();
  pane.setFocus();
  QTest::keyClicks(&pane, "typed");
  QTest::keyClick(&pane, Qt::Key_Backspace);
  QTest::keyClick(&pane, Qt::Key_Delete);
  EXPECT_EQ(window.StatusText(), " PE = 1\r\n PDX = 0\r\n CEX = 3");

  window.SetStatusText("Download success");
  EXPECT_EQ(window.StatusText(), "Download success");
  window.SetStatusText("");
  EXPECT_EQ(window.StatusText(), "");
}

// The template's size is the smallest and the first; what the window grows
// by goes to the status pane, and the buttons stay under it.
TEST_F(MainWindowTest, ResizesWithTheStatusPaneGrowing) {
  MainWindow window(Paths());
  window.show();
  const QSize start = window.size();
  const QRect pane = window.statusPane().geometry();
  const QRect close = window.closeButton().geometry();
  EXPECT_EQ(window.minimumSize(), start);
  window.resize(start + QSize(200, 100));
  EXPECT_EQ(window.statusPane().geometry(), pane.adjusted(0, 0, 200, 100));
  EXPECT_EQ(window.closeButton().geometry(), close.translated(100, 100));
}

// Every line the pane holds can be read in it, small or large: a line wider
// than the pane wraps, even without a space, and lines beyond its height
// scroll into view with a scroll bar.
TEST_F(MainWindowTest, EveryLineOfTheStatusPaneCanBeRead) {
  MainWindow window(Paths());
  window.show();
  std::string text = "Download failure\r\nchunk 45 of 128: acknowledgement: read: 0 of 2 reply bytes arrived";
  for (int i = 0; i < 40; ++i) text += "\r\n PE = " + std::to_string(i);
  window.SetStatusText(text + "\r\n/home/user/a/path/far/wider/than/the/status/pane/itself/blink.hex");
  QPlainTextEdit& pane = window.statusPane();
  for (const QSize& size : {window.minimumSize(), window.minimumSize() * 2}) {
    window.resize(size);
    QApplication::processEvents();
    for (QTextBlock block = pane.document()->begin(); block.isValid(); block = block.next()) {
      for (int i = 0; i < block.layout()->lineCount(); ++i)
        EXPECT_LE(block.layout()->lineAt(i).naturalTextWidth(), pane.viewport()->width()) << block.text().toStdString();
    }
    QScrollBar& scroll = *pane.verticalScrollBar();
    EXPECT_TRUE(scroll.isVisible());
    scroll.setValue(scroll.maximum());
    const QPoint bottom(0, pane.viewport()->height() - 1);
    EXPECT_EQ(pane.cursorForPosition(bottom).blockNumber(), pane.document()->lastBlock().blockNumber());
  }
}

TEST_F(MainWindowTest, StatusTextCanBeSelectedAndCopied) {
  MainWindow window(Paths());
  window.SetStatusText(" Output Power\r\n    2 mW");
  window.show();
  QPlainTextEdit& pane = window.statusPane();
  pane.setFocus();
  QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&pane, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral(" Output Power\n    2 mW"));
}

TEST_F(MainWindowTest, FirstStartUsesTheDefaultsAndWritesThem) {
  const std::string ini = Paths().settingsPath;
  {
    MainWindow window(Paths());
    EXPECT_EQ(window.state().portNumber, 1);
    EXPECT_EQ(window.state().hexFilePath, "");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(ini)));
  }
#ifdef _WIN32
  EXPECT_EQ(ReadFile(ini), "[SETTING]\r\nCOM=1\r\nFILE=\r\n");
#else
  EXPECT_EQ(ReadFile(ini), "[SETTING]\nCOM=1\nFILE=\n");
#endif
}

struct StoredCase {
  const char* content;
  int portNumber;
  const char* hexFilePath;
};

void PrintTo(const StoredCase& c, std::ostream* os) { *os << c.content; }

class StoredSettingsTest : public MainWindowTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredSettingsTest, AreReadWhenTheWindowIsCreated) {
  WriteFile(Paths().settingsPath, GetParam().content);
  MainWindow window(Paths());
  EXPECT_EQ(window.state().portNumber, GetParam().portNumber);
  EXPECT_EQ(window.state().hexFilePath, GetParam().hexFilePath);
}

INSTANTIATE_TEST_SUITE_P(
    Files, StoredSettingsTest,
    ::testing::Values(StoredCase{"[SETTING]\r\nCOM=7\r\nFILE=C:\\work\\blink.hex\r\n", 7, "C:\\work\\blink.hex"},
                      StoredCase{"[SETTING]\nCOM=0\nFILE=/home/me/a \"b\".hex\n", 0, "/home/me/a \"b\".hex"},
                      StoredCase{"[SETTING]\nCOM=-5\n", 0, ""}, StoredCase{"[SETTING]\nCOM=abc\n", 0, ""},
                      StoredCase{"[SETTING]\nCOM=25\n", 25, ""}, StoredCase{"[OTHER]\nCOM=9\n", 1, ""}));

using CloseAction = void (*)(MainWindow&);

struct CloseCase {
  const char* name;
  CloseAction close;
  int result;
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class ClosePathTest : public MainWindowTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(ClosePathTest, EndsTheWindowAndWritesTheSettings) {
  WriteFile(Paths().settingsPath, "; kept\n[SETTING]\nCOM=3\nFILE=old.hex\n");
  ModalWatchdog watchdog;
  {
    MainWindow window(Paths());
    EXPECT_EQ(window.state().portNumber, 3);
    window.state().portNumber = 12;
    window.state().hexFilePath = "/home/me/new prog.hex";
    const int result = ExecWith(window, [this, &window] {
      window.activateWindow();
      GetParam().close(window);
    });
    EXPECT_EQ(result, GetParam().result);
    // Nothing is written until the window is destroyed.
    EXPECT_EQ(ReadFile(Paths().settingsPath), "; kept\n[SETTING]\nCOM=3\nFILE=old.hex\n");
  }
  EXPECT_FALSE(watchdog.fired());
  EXPECT_EQ(ReadFile(Paths().settingsPath), "; kept\n[SETTING]\nCOM=12\nFILE=/home/me/new prog.hex\n");
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ClosePathTest,
    ::testing::Values(
        CloseCase{"CloseButton", [](MainWindow& w) { QTest::mouseClick(&w.closeButton(), Qt::LeftButton); },
                  QDialog::Accepted},
        CloseCase{"EnterOnCloseButton", [](MainWindow& w) { QTest::keyClick(&w.closeButton(), Qt::Key_Return); },
                  QDialog::Accepted},
        CloseCase{"EnterInStatusPane",
                  [](MainWindow& w) {
                    w.statusPane().setFocus();
                    QTest::keyClick(&w.statusPane(), Qt::Key_Return);
                  },
                  QDialog::Accepted},
        CloseCase{"KeypadEnterInStatusPane",
                  [](MainWindow& w) { QTest::keyClick(&w.statusPane(), Qt::Key_Enter, Qt::KeypadModifier); },
                  QDialog::Accepted},
        CloseCase{"Escape", [](MainWindow& w) { QTest::keyClick(&w.closeButton(), Qt::Key_Escape); },
                  QDialog::Rejected},
        CloseCase{"EscapeInStatusPane", [](MainWindow& w) { QTest::keyClick(&w.statusPane(), Qt::Key_Escape); },
                  QDialog::Rejected},
        CloseCase{"CloseBox", [](MainWindow& w) { w.close(); }, QDialog::Rejected},
        CloseCase{"HiddenCancel", [](MainWindow& w) { w.cancelButton().click(); }, QDialog::Rejected}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, PortIsSavedWhenTheFilePathCannotBe) {
  WriteFile(Paths().settingsPath, "[SETTING]\r\nCOM=3\r\nFILE=old.hex\r\n");
  {
    MainWindow window(Paths());
    window.state().portNumber = 12;
    window.state().hexFilePath = "/home/me/two\nlines.hex";
  }
  EXPECT_EQ(ReadFile(Paths().settingsPath), "[SETTING]\r\nCOM=12\r\nFILE=old.hex\r\n");
}

TEST_F(MainWindowTest, UnwritablePlaceIsSilent) {
  WriteFile(folder_.File("plain"), "x");
  AppPaths paths = Paths();
  paths.settingsPath = folder_.File("plain/other.ini");
  int boxes = 0;
  const MessageBoxHook previous = SetMessageBoxHook([&boxes](QMessageBox&) { ++boxes; });
  {
    MainWindow window(paths);
    window.state().portNumber = 4;
  }
  SetMessageBoxHook(previous);
  EXPECT_EQ(boxes, 0);
  EXPECT_EQ(ReadFile(folder_.File("plain")), "x");
}

TEST_F(MainWindowTest, CommandStateStartsEmpty) {
  MainWindow window(Paths());
  EXPECT_EQ(window.state().snapshot, RegisterSnapshot{});
  EXPECT_EQ(window.state().fields, TransmitterFields{});
  EXPECT_EQ(window.state().quick.powerIndex, -1);
}

}  // namespace
}  // namespace vorna
