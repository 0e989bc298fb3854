#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/artwork.h"
#include "app/main_window.h"
#include "dialogs/about_dialog.h"
#include "dialogs/dialog_units.h"
#include "gui_test_support.h"
#include "vorna_version.h"

namespace vorna {
namespace {

using test::ModalWatchdog;
using test::TempFolder;
using test::WATCHDOG_RESULT;
using test::WhenModalOpens;

// Stands in for the desktop's handler of file URLs.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  UrlRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
  ~UrlRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

  std::vector<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.push_back(url); }
};

class AboutHelpTest : public ::testing::Test {
 protected:
  AppPaths Paths() const { return {"other", folder_.File("other.ini"), folder_.File("VORNAHLP.html")}; }
  void CreateHelpFile() const { std::ofstream(Paths().helpPath) << "<html></html>"; }

  TempFolder folder_;
};

using CloseAbout = void (*)(AboutDialog&);

struct AboutCloseCase {
  const char* name;
  CloseAbout close;
  int result;
};

void PrintTo(const AboutCloseCase& c, std::ostream* os) { *os << c.name; }

class AboutCloseTest : public AboutHelpTest, public ::testing::WithParamInterface<AboutCloseCase> {};

TEST_P(AboutCloseTest, ShowsNameAndVersionAndEnds) {
  MainWindow window(Paths());
  window.show();
  ModalWatchdog watchdog;
  bool seen = false;
  int result = WATCHDOG_RESULT;
  WhenModalOpens([&](QWidget& modal) {
    auto* about = qobject_cast<AboutDialog*>(&modal);
    ASSERT_NE(about, nullptr);
    seen = true;
    EXPECT_EQ(about->parentWidget(), &window);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About other"));
    EXPECT_EQ(about->versionText().text(), QStringLiteral("other Version " VORNA_VERSION));
    EXPECT_EQ(about->versionText().textFormat(), Qt::PlainText);
    EXPECT_FALSE(about->icon().pixmap().isNull());
    EXPECT_EQ(about->okButton().text(), QStringLiteral("OK"));
    EXPECT_TRUE(about->okButton().isDefault());
    QObject::connect(about, &QDialog::finished, [&result](int r) { result = r; });
    GetParam().close(*about);
  });
  window.RunCommand(ID_ABOUT);
  EXPECT_TRUE(seen);
  EXPECT_EQ(result, GetParam().result);
  EXPECT_FALSE(watchdog.fired());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, AboutCloseTest,
    ::testing::Values(
        AboutCloseCase{"OkButton", [](AboutDialog& d) { QTest::mouseClick(&d.okButton(), Qt::LeftButton); },
                       QDialog::Accepted},
        AboutCloseCase{"Enter", [](AboutDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }, QDialog::Accepted},
        AboutCloseCase{"Escape", [](AboutDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, QDialog::Rejected},
        AboutCloseCase{"CloseBox", [](AboutDialog& d) { d.close(); }, QDialog::Rejected}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AboutHelpTest, AboutFitsItsControls) {
  MainWindow window(Paths());
  AboutDialog about(window, window.applicationName(), ApplicationIcon());
  const DialogUnits units(TemplateFont(TEMPLATE_FONT_POINTS));
  EXPECT_EQ(about.okButton().geometry(), units.ToPixels({178, 7, 50, 14}));
  EXPECT_EQ(about.versionText().geometry(), units.ToPixels({40, 10, 119, 8}));
  EXPECT_EQ(about.icon().geometry(), units.ToPixels({11, 17, 20, 20}));
  EXPECT_TRUE(about.rect().contains(about.okButton().geometry()));
  EXPECT_TRUE(about.rect().contains(about.icon().geometry()));
  EXPECT_GE(about.versionText().width(), about.versionText().sizeHint().width());
}

TEST_F(AboutHelpTest, HelpOpensTheFileBesideTheExecutable) {
  CreateHelpFile();
  UrlRecorder recorder;
  MainWindow window(Paths());
  window.RunCommand(ID_HELP);
  ASSERT_EQ(recorder.opened.size(), 1u);
  EXPECT_EQ(recorder.opened[0], QUrl::fromLocalFile(QString::fromStdString(Paths().helpPath)));
}

// Help that cannot be shown says where the guide should be, once, in the
// one kind of box, and why under it; the window stays usable.
TEST_F(AboutHelpTest, MissingHelpFileShowsItsPathInABox) {
  UrlRecorder recorder;
  std::vector<std::string> boxes;
  const MessageBoxHook previous = SetMessageBoxHook([&boxes](QMessageBox& box) {
    boxes.push_back(box.text().toStdString() + " | " + box.informativeText().toStdString());
  });
  MainWindow window(Paths());
  window.RunCommand(ID_HELP);
  SetMessageBoxHook(previous);
  EXPECT_TRUE(recorder.opened.empty());
  EXPECT_EQ(boxes, std::vector<std::string>{"Can not open the help file " + Paths().helpPath + " | no such file"});
  EXPECT_TRUE(window.isEnabled());
}

TEST_F(AboutHelpTest, HelpFileWithNothingToOpenItSaysSoWithItsPath) {
  CreateHelpFile();
  // No handler for file URLs, and the display-less platform opens nothing.
  std::vector<std::string> boxes;
  std::vector<std::string> captions;
  const MessageBoxHook previous = SetMessageBoxHook([&](QMessageBox& box) {
    boxes.push_back(box.text().toStdString() + " | " + box.informativeText().toStdString());
    captions.push_back(box.windowTitle().toStdString());
  });
  MainWindow window(Paths());
  window.RunCommand(ID_HELP);
  SetMessageBoxHook(previous);
  EXPECT_EQ(boxes, std::vector<std::string>{"No program to open the help file " + Paths().helpPath + " was found | "});
  EXPECT_EQ(captions, std::vector<std::string>{"other"});
}

TEST_F(AboutHelpTest, F1OpensTheHelpFromTheMainWindowAndFromItsDialogs) {
  CreateHelpFile();
  UrlRecorder recorder;
  MainWindow window(Paths());
  window.show();
  QTest::keyClick(&window.closeButton(), Qt::Key_F1);
  ASSERT_EQ(recorder.opened.size(), 1u);

  ModalWatchdog watchdog;
  WhenModalOpens([](QWidget& about) {
    QTest::keyClick(&about, Qt::Key_F1);
    QTest::keyClick(&about, Qt::Key_Escape);
  });
  window.RunCommand(ID_ABOUT);
  EXPECT_FALSE(watchdog.fired());
  EXPECT_EQ(recorder.opened.size(), 2u);
}

TEST_F(AboutHelpTest, UnknownCommandDoesNothing) {
  UrlRecorder recorder;
  CreateHelpFile();
  MainWindow window(Paths());
  window.RunCommand(2);
  window.RunCommand(32774);
  EXPECT_TRUE(recorder.opened.empty());
}

// The guide that the build puts beside the executable covers every menu
// item and every register field.
TEST(HelpFileTest, BuiltGuideCoversTheMenuAndTheFields) {
  std::ifstream in(VORNA_APP_DIR "/VORNAHLP.html");
  ASSERT_TRUE(in) << VORNA_APP_DIR "/VORNAHLP.html";
  std::ostringstream content;
  content << in.rdbuf();
  const std::string html = content.str();
  for (const char* needle : {"Quick",
                             "Advanced",
                             "COM Port",
                             "Download",
                             "Help",
                             "About VORNA...",
                             "PE",
                             "PDX",
                             "MUTE",
                             "EM",
                             "EMS",
                             "AG",
                             "PLT",
                             "SUBC",
                             "PL",
                             "ULD",
                             "CIA",
                             "CIB",
                             "CEX",
                             "Hex file is invalid",
                             "Download success",
                             "Download failure",
                             "Can not open COM",
                             "vorna-board-sim",
                             "dialout",
                             "Save Board Settings...",
                             "Load Board Settings...",
                             "vorna-profile 1"}) {
    EXPECT_NE(html.find(needle), std::string::npos) << needle;
  }
}

}  // namespace
}  // namespace vorna

#include "about_help_test.moc"
