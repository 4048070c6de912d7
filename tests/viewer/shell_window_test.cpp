// The options dialog and the splash/About window driven as a user would:
// fields, Apply/OK/Cancel/Esc, Ctrl+Tab, a refused page size and a failed
// write; the splash's ticks, its check box, its closing and its link, and
// both opened from the main window. Settings go to a private folder; every
// message is scripted.
#include "datasource/sourcestate.h"
#include "mainwindow/viewdb.h"
#include "shell/f_splash.h"
#include "shell/frmoptions.h"
#include "shell/settings.h"
#include "shell/weblink.h"
#include "testsupport/confighome.h"
#include "testsupport/tempdir.h"
#include "window_scriptedprompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QSysInfo>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace viewer;
using testsupport::ScriptedPrompts;
using testsupport::TempDir;

namespace {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state() = SourceState{};
    setUrlOpener([this](const QUrl& url) {
      opened.push_back(url);
      return true;
    });
  }
  void TearDown() override {
    if (f_Splash* s = f_Splash::current()) delete s;
    setUrlOpener({});
    state() = SourceState{};
  }
  QString file() const { return dir_.file("Fenwright/Lumbrook.conf"); }
  QByteArray stored() const {
    QFile f(file());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  TempDir dir_;
  // Restored after TearDown, so whatever is written while closing stays here.
  testsupport::ScopedConfigHome home_{dir_.path()};
  ScriptedPrompts prompts;
  std::vector<QUrl> opened;
};

}  // namespace

// --- options ------------------------------------------------------------------

TEST_F(ShellTest, OptionsLoadShowsTheSettingsClean) {
  state().PageSize = 25;
  state().PageEncoding = "utf-8";
  state().TextFormat = "Delimited(#)";
  frmOptions dlg;
  EXPECT_EQ(dlg.windowTitle(), "Options");
  EXPECT_EQ(dlg.size(), QSize(410, 328));
  ASSERT_EQ(dlg.tbsOptions->count(), 1);
  EXPECT_EQ(dlg.tbsOptions->tabText(0), "General");
  EXPECT_EQ(dlg.tbsOptions->tabData(0).toString(), "General");
  EXPECT_EQ(dlg.tbsOptions->tabToolTip(0), "General options");
  EXPECT_EQ(dlg.Label1->text(), "XML Encoding:");
  EXPECT_EQ(dlg.Label2->text(), "Rows on page:");
  EXPECT_EQ(dlg.Label3->text(), "Text format:");
  EXPECT_EQ(dlg.cmdOK->text(), "OK");
  EXPECT_EQ(dlg.cmdCancel->text(), "Cancel");
  EXPECT_EQ(dlg.cmdApply->text(), "Apply");
  QStringList items;
  for (int i = 0; i < dlg.cmbTextFormat->count(); ++i) items << dlg.cmbTextFormat->itemText(i);
  EXPECT_EQ(items, (QStringList{"TabDelimited", "CSVDelimited", "Delimited( )", "Delimited(;)", "Delimited(|)"}));
  EXPECT_EQ(dlg.txtEncoding->text(), "utf-8");
  EXPECT_EQ(dlg.txtPagesize->text(), "25");
  EXPECT_EQ(dlg.cmbTextFormat->currentText(), "Delimited(#)") << "a format not in the list is shown too";
  EXPECT_FALSE(dlg.bApply());
  EXPECT_FALSE(dlg.cmdApply->isEnabled());
  // Top to bottom: encoding, page size, text format.
  EXPECT_LT(dlg.txtEncoding->y(), dlg.txtPagesize->y());
  EXPECT_LT(dlg.txtPagesize->y(), dlg.cmbTextFormat->y());
  EXPECT_TRUE(dlg.picOptions[0]->isEnabled());
  EXPECT_GE(dlg.picOptions[0]->x(), 0);
}

TEST_F(ShellTest, OkWithoutAChangeWritesNothing) {
  frmOptions dlg;
  dlg.show();
  QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_FALSE(QFile::exists(file()));
}

TEST_F(ShellTest, EveryFieldChangeEnablesApplyAndApplyWritesAll) {
  frmOptions dlg;
  dlg.show();
  for (int field = 0; field < 3; ++field) {
    dlg.setBApply(false);
    if (field == 0) {
      dlg.txtEncoding->end(false);
      QTest::keyClicks(dlg.txtEncoding, "x");
    }
    if (field == 1) QTest::keyClicks(dlg.txtPagesize, "5");
    if (field == 2) dlg.cmbTextFormat->setCurrentIndex(1);
    EXPECT_TRUE(dlg.bApply()) << field;
  }
  dlg.txtPagesize->setText("13.5");
  QTest::mouseClick(dlg.cmdApply, Qt::LeftButton);
  EXPECT_FALSE(dlg.bApply());
  EXPECT_TRUE(dlg.isVisible()) << "Apply leaves the dialog open";
  EXPECT_EQ(stored(), QByteArray("PAGESIZE=14\nPAGEENCODING=windows-1251x\nTXTFormat=CSVDelimited\nShowSplash=1\n"));
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ShellTest, ApplyThenCancelKeepsAndAChangeThenCancelIsLost) {
  {
    frmOptions dlg;
    dlg.show();
    dlg.txtPagesize->setText("25");
    QTest::mouseClick(dlg.cmdApply, Qt::LeftButton);
    dlg.txtPagesize->setText("77");
    dlg.cmbTextFormat->setEditText("   ");
    QTest::mouseClick(dlg.cmdCancel, Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
  }
  EXPECT_EQ(state().PageSize, 25);
  EXPECT_EQ(state().TextFormat, "TabDelimited");
  frmOptions again;
  EXPECT_EQ(again.txtPagesize->text(), "25") << "reopening starts from the settings in memory";
  EXPECT_FALSE(again.bApply());
}

TEST_F(ShellTest, EscCancelsAndOkAppliesTypedFormat) {
  {
    frmOptions dlg;
    dlg.show();
    dlg.txtEncoding->setText("koi8-r");
    QTest::keyClick(dlg.txtEncoding, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
  }
  EXPECT_EQ(state().PageEncoding, "windows-1251");
  EXPECT_FALSE(QFile::exists(file()));

  frmOptions dlg;
  dlg.show();
  dlg.cmbTextFormat->setEditText(" Delimited(#) ");
  QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(state().TextFormat, "Delimited(#)");
}

TEST_F(ShellTest, CtrlTabWithTheSingleTabKeepsGeneralShown) {
  frmOptions dlg;
  dlg.show();
  dlg.txtPagesize->setFocus();
  QTest::keyClick(dlg.txtPagesize, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(dlg.tbsOptions->currentIndex(), 0);
  EXPECT_TRUE(dlg.picOptions[0]->isEnabled());
  EXPECT_GE(dlg.picOptions[0]->x(), 0);
  EXPECT_FALSE(dlg.bApply()) << "Ctrl+Tab types nothing";
  EXPECT_EQ(dlg.txtPagesize->text(), "40");
}

TEST_F(ShellTest, CtrlTabCyclesThroughTabsShowingOnePageAtATime) {
  frmOptions dlg;
  auto* second = new QWidget(&dlg);
  dlg.picOptions << second;
  dlg.tbsOptions->addTab("Second");
  dlg.show();
  const QRect shown = dlg.picOptions[0]->geometry();
  dlg.txtEncoding->setFocus();
  QTest::keyClick(dlg.txtEncoding, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(dlg.tbsOptions->currentIndex(), 1);
  EXPECT_EQ(second->geometry(), shown);
  EXPECT_TRUE(second->isEnabled());
  EXPECT_EQ(dlg.picOptions[0]->x(), -20000);
  EXPECT_FALSE(dlg.picOptions[0]->isEnabled());
  QTest::keyClick(&dlg, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(dlg.tbsOptions->currentIndex(), 0) << "from the last tab back to the first";
  EXPECT_EQ(dlg.picOptions[0]->geometry(), shown);
  EXPECT_EQ(second->x(), -20000);
  // Tab with another modifier as well is not Ctrl+Tab.
  QTest::keyClick(&dlg, Qt::Key_Tab, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(dlg.tbsOptions->currentIndex(), 0);
}

TEST_F(ShellTest, OverflowingPageSizeIsRefusedAndTheDialogStays) {
  frmOptions dlg;
  dlg.show();
  dlg.txtEncoding->setText("utf-8");
  dlg.txtPagesize->setText("40000");
  QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_TRUE(prompts.messages[0].text.startsWith("6: ")) << prompts.messages[0].text.toStdString();
  EXPECT_TRUE(prompts.messages[0].text.contains("32767"));
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  EXPECT_TRUE(dlg.bApply());
  EXPECT_EQ(state().PageSize, 40);
  EXPECT_EQ(state().PageEncoding, "windows-1251") << "nothing is applied";
  EXPECT_FALSE(QFile::exists(file()));

  dlg.txtPagesize->setText("32767");
  QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(state().PageSize, 32767);
}

TEST_F(ShellTest, FailedWriteOnApplyIsShownAndApplyStaysEnabled) {
  ASSERT_TRUE(QDir().mkpath(file()));  // a folder where the file should be
  frmOptions dlg;
  dlg.show();
  dlg.txtPagesize->setText("12");
  QTest::mouseClick(dlg.cmdApply, Qt::LeftButton);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_TRUE(QRegularExpression("^-2147221504: Error [1-9][0-9]*, Line 0$")
                  .match(prompts.messages[0].text)
                  .hasMatch())
      << prompts.messages[0].text.toStdString();
  EXPECT_TRUE(dlg.bApply());
  EXPECT_TRUE(dlg.isVisible());

  // OK does not close over the same failure; once the file can be written
  // it applies and closes.
  QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
  EXPECT_EQ(prompts.messages.size(), 2u);
  EXPECT_TRUE(dlg.isVisible());
  ASSERT_TRUE(QDir(file()).removeRecursively());
  QTest::mouseClick(dlg.cmdOK, Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_TRUE(stored().startsWith("PAGESIZE=12\n"));
}

// --- splash and About ----------------------------------------------------------

TEST_F(ShellTest, SplashFillsFromVersionInformationAndClosesOnTheFourthTick) {
  QWidget owner;
  owner.setGeometry(100, 100, 800, 600);
  owner.show();
  QPointer<f_Splash> splash = f_Splash::View(&owner, true);
  ASSERT_TRUE(splash);
  EXPECT_TRUE(splash->isVisible());
  EXPECT_TRUE(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(splash->parentWidget(), &owner);
  EXPECT_LE((splash->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 2);
  EXPECT_EQ(splash->lblProductName->text(), "Lumbrook");
  EXPECT_EQ(splash->lblVersion->text(), "Version 1.0.75");
  EXPECT_EQ(splash->lblPlatform->text(), QSysInfo::prettyProductName());
  EXPECT_NE(splash->lblPlatform->text(), "Win NT/2000/XP");
  EXPECT_FALSE(splash->lblCopyright->text().isEmpty());
  EXPECT_FALSE(splash->lblCompany->text().isEmpty());
  EXPECT_EQ(splash->chkShow->text(), "Show at next time");
  EXPECT_FALSE(splash->Image1->pixmap().isNull());
  EXPECT_EQ(splash->lblVersion->font().family(), "Arial");
  ASSERT_TRUE(splash->Timer1->isActive());
  EXPECT_EQ(splash->Timer1->interval(), 1000);

  for (int i = 0; i < 3; ++i) splash->Timer1Tick();
  EXPECT_TRUE(splash->isVisible()) << "three ticks leave it open";
  splash->Timer1Tick();
  EXPECT_FALSE(splash && splash->isVisible());
  EXPECT_EQ(f_Splash::current(), nullptr);
}

TEST_F(ShellTest, AboutHasNoTimerAndASecondViewReusesTheWindow) {
  f_Splash* splash = f_Splash::View(nullptr, true);
  ASSERT_TRUE(splash);
  splash->Timer1Tick();
  EXPECT_EQ(f_Splash::View(nullptr, false), splash);
  EXPECT_FALSE(splash->Timer1->isActive()) << "the About box never closes by itself";
  EXPECT_EQ(splash->ticks(), 1);
}

TEST_F(ShellTest, ShowSplashZeroOneAndOtherValues) {
  for (int16_t value : {0, 1, 2, 7, -5}) {
    state().ShowSplash = value;
    f_Splash* splash = f_Splash::View(nullptr, true);
    ASSERT_TRUE(splash) << value;
    EXPECT_EQ(splash->chkShow->isChecked(), value != 0) << value;
    EXPECT_EQ(splash->lblVersion->text(), "Version 1.0.75") << value;
    EXPECT_TRUE(splash->Timer1->isActive()) << value;
    delete splash;
  }
}

TEST_F(ShellTest, CheckBoxClickSetsShowSplashInMemoryOnly) {
  f_Splash* splash = f_Splash::View(nullptr, false);
  QTest::mouseClick(splash->chkShow, Qt::LeftButton);
  EXPECT_EQ(state().ShowSplash, 0);
  EXPECT_TRUE(splash->isVisible()) << "a click on the box does not close";
  EXPECT_FALSE(QFile::exists(file()));
  QTest::mouseClick(splash->chkShow, Qt::LeftButton);
  EXPECT_EQ(state().ShowSplash, 1);

  state().ShowSplash = 5;
  f_Splash::View(nullptr, false);
  QTest::mouseClick(splash->chkShow, Qt::LeftButton);
  EXPECT_EQ(state().ShowSplash, 0) << "any non-zero value shows ticked, so a click clears it";
}

TEST_F(ShellTest, KeyOrClickClosesTheSplash) {
  auto closesOn = [](auto act) {
    QPointer<f_Splash> splash = f_Splash::View(nullptr, false);
    act(splash.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return splash.isNull();
  };
  EXPECT_TRUE(closesOn([](f_Splash* s) { QTest::keyClick(s, Qt::Key_A); }));
  EXPECT_TRUE(closesOn([](f_Splash* s) { QTest::keyClick(s->chkShow, Qt::Key_Space); }));
  EXPECT_TRUE(closesOn([](f_Splash* s) { QTest::mouseClick(s->Image1, Qt::LeftButton); }));
  EXPECT_TRUE(closesOn([](f_Splash* s) { QTest::mouseClick(s->lblProductName, Qt::LeftButton); }));
  EXPECT_TRUE(closesOn([](f_Splash* s) { QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(470, 200)); }));
  EXPECT_FALSE(closesOn([](f_Splash* s) { QTest::mouseClick(s->lblVersion, Qt::LeftButton); }));
  EXPECT_EQ(state().ShowSplash, 1) << "the key on the check box closed without toggling it";
}

TEST_F(ShellTest, CompanyLinkUnderlinesOnHoverAndOpensTheHelpPage) {
  f_Splash* splash = f_Splash::View(nullptr, false);
  auto moveOver = [](QWidget* w, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
  };
  moveOver(splash->lblCompany, QPoint(5, 5));
  EXPECT_TRUE(splash->lblCompany->font().underline());
  moveOver(splash, QPoint(470, 200));
  EXPECT_FALSE(splash->lblCompany->font().underline());

  EXPECT_EQ(splash->companyLink, QCoreApplication::applicationDirPath() + "/Help/Lumbrook.html");
  TempDir folder;
  splash->companyLink = folder.file("Help/Lumbrook.html");
  QTest::mouseClick(splash->lblCompany, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(opened.empty()) << "a missing help page does nothing";
  const QString page = folder.write("Help/Lumbrook.html", "<html/>");
  QTest::mouseClick(splash->lblCompany, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(page));
  EXPECT_TRUE(splash->isVisible()) << "the window stays open";
}

TEST_F(ShellTest, WebLinkOpensUrlsAndExistingFilesOnly) {
  TempDir pages;
  const QString page = pages.write("with blank/Lumbrook.html", "<html/>");
  OpenWebLink(nullptr, page);
  OpenWebLink(nullptr, pages.file("missing.html"));
  OpenWebLink(nullptr, "https://example.org/lumbrook");
  OpenWebLink(nullptr, "not a url");
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(page));
  EXPECT_EQ(opened[1], QUrl("https://example.org/lumbrook"));
}

// --- from the main window ------------------------------------------------------

TEST_F(ShellTest, MainWindowOpensSplashAtLoadOnlyWhenShowSplashIsNotZero) {
  for (int16_t value : {0, 1, 3}) {
    state().ShowSplash = value;
    QPointer<f_ViewDB> window = new f_ViewDB;
    window->setSplashHook([](f_ViewDB* w) { f_Splash::View(w, true); });
    window->Load();
    f_Splash* splash = f_Splash::current();
    EXPECT_EQ(splash != nullptr, value != 0) << value;
    if (splash) { EXPECT_TRUE(splash->Timer1->isActive()); }

    window->buttonClick("About");
    ASSERT_TRUE(f_Splash::current()) << value;
    EXPECT_EQ(f_Splash::current()->parentWidget(), window.data());
    EXPECT_FALSE(f_Splash::current()->Timer1->isActive()) << value;
    window->close();
    delete window.data();
    EXPECT_EQ(f_Splash::current(), nullptr) << "the splash goes with its owner";
  }
}

TEST_F(ShellTest, SettingsCommandShowsOptionsModal) {
  f_ViewDB window;
  window.show();
  QString seen;
  bool modal = false;
  QTimer::singleShot(0, [&] {
    if (auto* dlg = qobject_cast<frmOptions*>(QApplication::activeModalWidget())) {
      seen = dlg->windowTitle();
      modal = dlg->isModal() && dlg->parentWidget() == &window;
      dlg->txtPagesize->setText("21");
      dlg->cmdOK->click();
    }
  });
  window.buttonClick("Settings");
  EXPECT_EQ(seen, "Options");
  EXPECT_TRUE(modal);
  EXPECT_EQ(state().PageSize, 21);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  window.close();
}
