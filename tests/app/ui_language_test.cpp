// The windows in the language the test run names: VORNA_TEST_LANGUAGE=de
// under LC_ALL=de_DE.UTF-8 (tests/app/main.cpp installs the translations as
// the application's start does), English otherwise.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include <string>
#include <string_view>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "commands/commands.h"
#include "dialogs/shown_text.h"
#include "download/download_procedure.h"
#include "model/quick_settings.h"
#include "model/transmitter_fields.h"
#include "support/temp_folder.h"

namespace vorna {
namespace {

bool German() { return qEnvironmentVariable("VORNA_TEST_LANGUAGE") == QLatin1String("de"); }

struct Expected {
  QString english;
  QString german;
  QString Now() const { return German() ? german : english; }
};

class UiLanguageTest : public ::testing::Test {
 protected:
  test::TempFolder folder_;
  MainWindow window_{AppPaths{"VORNA", folder_.File("VORNA.ini"), folder_.File("VORNAHLP.html")}};
};

TEST_F(UiLanguageTest, MenusSpeakTheLanguage) {
  const std::vector<Expected> menus = {
      {"&Setting", "&Einstellung"}, {"&Option", "&Optionen"}, {"O&ther", "&Sonstiges"}};
  const QList<QAction*> titles = window_.menuBar().actions();
  ASSERT_EQ(titles.size(), static_cast<qsizetype>(menus.size()));
  for (qsizetype i = 0; i < titles.size(); ++i) EXPECT_EQ(titles[i]->text(), menus[i].Now());
  EXPECT_EQ(window_.action(ID_DOWNLOAD)->text(), (Expected{"&Download", "Ü&bertragen"}.Now()));
}

// Each line of the pane on its own: whole, with its numbers, or by its
// lead-in; numbers keep their point under the comma locale.
TEST_F(UiLanguageTest, StatusPaneTranslatesLineByLine) {
  QuickSettings settings;
  settings.frequency = ChannelToFrequency(6);
  settings.powerIndex = 1;
  settings.audioLevelIndex = 2;
  settings.preEmphasisIndex = 0;
  settings.timeConstantIndex = 1;
  const struct {
    std::string shown;
    Expected pane;
  } cases[] = {
      {FormatQuickSummary(settings),
       {" Transmission Freq.\r\n    88.1 MHz\r\n Output Power\r\n    2 mW\r\n Audio Input Level\r\n    200 mVrms\r\n"
        " Pre-emphasis\r\n    On\r\n Pre-emphasis Time Constant\r\n    75 usec",
        " Sendefrequenz\r\n    88.1 MHz\r\n Ausgangsleistung\r\n    2 mW\r\n Audio-Eingangspegel\r\n    200 mVeff\r\n"
        " Preemphasis\r\n    Ein\r\n Preemphasis-Zeitkonstante\r\n    75 µs"}},
      {DownloadStoppedText(2048, 8192),
       {"Download stopped after 2048 of 8192 bytes; the board holds an incomplete program",
        "Übertragung nach 2048 von 8192 Bytes gestoppt; die Platine enthält ein unvollständiges Programm"}},
      {"Reading the registers from COM1 (/dev/ttyACM0)\u2026",
       {"Reading the registers from COM1 (/dev/ttyACM0)\u2026", "Lese die Register von COM1 (/dev/ttyACM0)\u2026"}},
      {" PE = 1\r\n P = 2a58H", {" PE = 1\r\n P = 2a58H", " PE = 1\r\n P = 2a58H"}},
  };
  for (const auto& [shown, pane] : cases) {
    window_.SetStatusText(shown);
    EXPECT_EQ(window_.StatusText(), pane.Now().toStdString());
  }
}

TEST_F(UiLanguageTest, MessageBoxAndQtsOwnButtonsSpeakTheLanguage) {
  QString text;
  QStringList buttons;
  const MessageBoxHook previous = SetMessageBoxHook([&](QMessageBox& box) {
    text = box.text();
    for (const QAbstractButton* button : box.buttons()) buttons.append(button->text());
    box.done(QMessageBox::No);
  });
  AskYesNo(window_, window_.applicationName(), HexProblemsQuestion({"no data at 0x2000"}));
  SetMessageBoxHook(previous);
  EXPECT_EQ(text, (Expected{"The hex file has problems:\nno data at 0x2000\nDownload anyway?",
                            "Die Hex-Datei hat Probleme:\nno data at 0x2000\nTrotzdem übertragen?"}
                       .Now()));
  buttons.sort();
  EXPECT_EQ(buttons, German() ? QStringList({"&Ja", "&Nein"}) : QStringList({"&No", "&Yes"}));
}

// The texts of the layers below reach their translations: a text marked
// there no longer, or changed without a new translation, falls back to
// English.
TEST(UiLanguageBelowQtTest, EveryTextFromBelowIsTranslated) {
  std::vector<std::string_view> texts = {TEXT_NOT_EVERY_REGISTER_WRITTEN,
                                         STATUS_HEX_INVALID,
                                         STATUS_DOWNLOAD_SUCCESS,
                                         STATUS_DOWNLOAD_FAILURE,
                                         STATUS_DOWNLOAD_CANCELLED,
                                         STATUS_DOWNLOAD_STOPPED_BEFORE_START,
                                         PRE_EMPHASIS_TEXT[0],
                                         PRE_EMPHASIS_TEXT[1]};
  for (std::size_t field = 0; field < FIELD_COUNT; ++field) texts.push_back(HelpText(field));
  for (const std::string_view text : texts) {
    const QString english = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    EXPECT_EQ(ShownText(text) != english, German()) << text;
  }
}

}  // namespace
}  // namespace vorna
