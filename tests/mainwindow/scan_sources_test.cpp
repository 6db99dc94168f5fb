// The special folders offered as scan sources, the profile scan and the end
// of scan options (sound).
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTest>
#include <QSet>
#include <QTemporaryDir>

#include "platform/pathcodec.h"
#include "support/VariablesVRN.h"
#include "support/touslesdossierssystem.h"
#include "tests/testing/contrast.h"
#include "tests/testing/knownfolders.h"
#include "tests/database/tree.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

namespace {

// A home folder of our own, so the profile and the folders under it are small.
class SourcesTest : public Main2Test {
 protected:
  void SetUp() override {
    Main2Test::SetUp();
    oldHome_ = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    makeFile(home.path().toUtf8() + "/notes.txt");
    makeFile(home.path().toUtf8() + "/photo.JPG");
    makeFolder(home.path().toUtf8() + "/Documents");
    makeFile(home.path().toUtf8() + "/Documents/cv.odt");
  }
  void TearDown() override {
    Main2Test::TearDown();
    qputenv("HOME", oldHome_);
  }
  QStringList items(ComboBox* c) const {
    QStringList out;
    for (int i = 0; i < c->ListCount(); ++i) out << c->List(i);
    return out;
  }
  QString homeSlash() const { return QDir::cleanPath(home.path()) + "/"; }

  QTemporaryDir home;

 private:
  QByteArray oldHome_;
};

}  // namespace

TEST_F(SourcesTest, EachSpecialFolderIsOfferedOnceInOrderIgnoringCase) {
  Main2* w = startWindow();
  const QStringList offered = items(w->Combo7);

  // Every folder the 52 identifiers lead to, each once.
  QSet<QString> expected;
  for (const qint32 id : kSpecialFolderIdentifiers) {
    const QString p = CheminDossierSpecial(id);
    if (!p.isEmpty() && p != "/") expected.insert(p);
  }
  ASSERT_FALSE(expected.isEmpty());
  EXPECT_EQ(QSet<QString>(offered.begin(), offered.end()), expected);
  EXPECT_EQ(offered.size(), expected.size()) << "no folder twice";
  for (int i = 1; i < offered.size(); ++i)
    EXPECT_LE(QString::compare(offered[i - 1], offered[i], Qt::CaseInsensitive), 0) << offered[i].toStdString();
  EXPECT_FALSE(offered.contains(""));
  EXPECT_FALSE(offered.contains("/"));
  EXPECT_TRUE(offered.contains(homeSlash()));
  EXPECT_FALSE(w->Combo7->isVisible());
  EXPECT_FALSE(w->Combo7->isEditable());
  EXPECT_EQ(w->Combo7->font().family(), "Times New Roman");
  EXPECT_DOUBLE_EQ(w->Combo7->font().pointSizeF(), 9.75);
}

TEST_F(SourcesTest, TheDroppedDownSpecialFolderListIsWhiteOnDarkBlueAndMarksItsCurrentEntry) {
  Main2* w = startWindow();
  // Enough entries to tell one row from the others.
  for (const char* p : {"/zz-varnelo/a/", "/zz-varnelo/b/", "/zz-varnelo/c/"}) w->Combo7->AddItem(p);
  ASSERT_GE(w->Combo7->count(), 4);
  w->mnDetailRepPerso->click();
  QAbstractItemView* list = w->Combo7->view();
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 5000));
  QApplication::processEvents();
  // What the dropped-down list shows: a dark blue ground with white letters.
  const QImage shot = list->viewport()->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  int darkBlue = 0, white = 0, light = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      if (c.red() < 40 && c.green() < 40 && c.blue() > 100 && c.blue() < 160) ++darkBlue;
      else if (c.red() > 230 && c.green() > 230 && c.blue() > 230) ++white;
      if (c.lightness() > 160) ++light;
    }
  const int all = shot.width() * shot.height();
  EXPECT_GT(darkBlue, all / 2) << "the list's ground";
  EXPECT_GT(white, 0) << "its letters";
  EXPECT_LT(light, all / 4) << "no light ground under white letters";
  const QColor listGround = groundOf(shot, shot.rect());

  // The entry a pick would scan stands out from the list, its text readable
  // on it; every other row keeps the list's ground and white letters.
  const auto expectOnlyMarked = [&](int current, const char* how) {
    SCOPED_TRACE(how);
    ASSERT_EQ(list->currentIndex().row(), current);
    QApplication::processEvents();
    const QImage rows = list->viewport()->grab().toImage();
    int seen = 0;
    for (int r = 0; r < w->Combo7->count(); ++r) {
      const QRect row = list->visualRect(w->Combo7->model()->index(r, 0));
      if (!rows.rect().contains(row)) continue;
      ++seen;
      const QColor ground = groundOf(rows, row), ink = inkOf(rows, row);
      EXPECT_GE(contrast(ink, ground), 7.0) << "row " << r << ": its text reads on its ground";
      if (r == current) EXPECT_GE(contrast(ground, listGround), 3.0) << "row " << r << " is marked";
      else EXPECT_EQ(ground, listGround) << "row " << r << " is not marked";
    }
    EXPECT_GE(seen, 3);
  };
  // The arrow keys move the mark.
  QTest::keyClick(list, Qt::Key_Down);
  const int byKeys = list->currentIndex().row();
  ASSERT_GE(byKeys, 0);
  QTest::keyClick(list, Qt::Key_Down);
  expectOnlyMarked(byKeys + 1, "Down");
  QTest::keyClick(list, Qt::Key_Up);
  expectOnlyMarked(byKeys, "Up");
  // The pointer marks the entry under it.
  const int hovered = byKeys + 2;
  QTest::mouseMove(list->viewport(), list->visualRect(w->Combo7->model()->index(hovered, 0)).center());
  expectOnlyMarked(hovered, "pointer");
  EXPECT_TRUE(w->Combo7->isVisible()) << "marking an entry picks nothing";
  EXPECT_TRUE(svc->dialogs.browserTitles.isEmpty());
  w->Combo7->hidePopup();
}

TEST_F(SourcesTest, EqualNeighboursGoOnceEmptyEntriesGoAndCaseVariantsStay) {
  Main2* w = startWindow();
  const QStringList real = items(w->Combo7);
  w->Combo7->Clear();
  for (const char* p : {"/zz-varnelo/a/", "", "/zz-varnelo/A/", "/", "/zz-varnelo/a/", "/zz-varnelo/a/", ""})
    w->Combo7->AddItem(p);
  w->RemplirDossiersSysteme();
  QStringList expected = real;
  expected << "/zz-varnelo/a/"
           << "/zz-varnelo/A/";
  QStringList offered = items(w->Combo7);
  EXPECT_EQ(offered.count("/zz-varnelo/a/"), 1) << "three equal neighbours leave one";
  EXPECT_EQ(offered.count("/zz-varnelo/A/"), 1) << "a path differing only in case is another path";
  EXPECT_FALSE(offered.contains(""));
  EXPECT_FALSE(offered.contains("/"));
  offered.sort();
  expected.sort();
  EXPECT_EQ(offered, expected);
}

TEST_F(SourcesTest, TheSpecialFolderMenuDropsTheListAndPickingOneScansIt) {
  Main2* w = startWindow();
  w->Check16->setValue(0);  // no pages after the scan
  w->mnDetailRepPerso->click();
  EXPECT_TRUE(w->Combo7->isVisible());
  EXPECT_EQ(w->Combo7->Left(), -2160);
  w->Combo7->hidePopup();

  const int at = w->Combo7->findText(homeSlash());
  ASSERT_GE(at, 0);
  w->Combo7->setListIndex(at);  // the user's pick
  EXPECT_FALSE(w->Combo7->isVisible());
  EXPECT_TRUE(svc->dialogs.browserTitles.isEmpty()) << "a special folder is scanned without asking";
  EXPECT_EQ(vrnVars().SourceActuelle, homeSlash());
  EXPECT_EQ(w->Caption(), " - (3 Fichiers) Obtenus en 00:00:02");
  EXPECT_EQ(w->lblAffich->Caption(), "Choix des (2) Listes Couramment Utilisées Disponibles");
  EXPECT_EQ(readFile(dbDir() + "/odt.vrn").trimmed(), encodePath(homeSlash()) + "Documents/cv.odt");
  EXPECT_EQ(readFile(dbDir() + "/der.rep"), encodePath(homeSlash()).leftJustified(1024, ' '));
  EXPECT_EQ(items(w->Combo7).size(), w->Combo7->count()) << "the offer is unchanged";
  EXPECT_GE(w->Combo7->findText(homeSlash()), 0);
  // A special-folder scan ends with the default options written and applied.
  EXPECT_EQ(readFile(dbDir() + "/affp.aff"), QByteArray("011111111110110000000000000000"));
  EXPECT_EQ(w->Check16->Value(), 1);
}

TEST_F(SourcesTest, TheProfileScanTakesTheHomeFolderAndTheSoundPlaysWhenAsked) {
  Main2* w = startWindow();
  w->Check16->setValue(0);  // no pages after the scan
  svc->audio.devices = 1;
  w->Check15->setValue(1);
  vrnVars().SourceActuelle = "/a/folder/that/would/ask";
  w->mnScannProfile->click();
  EXPECT_TRUE(svc->dialogs.browserTitles.isEmpty());
  EXPECT_EQ(vrnVars().SourceActuelle, homeSlash());
  EXPECT_EQ(w->Caption(), " - (3 Fichiers) Obtenus en 00:00:02");
  EXPECT_EQ(svc->audio.plays, 1);
  EXPECT_EQ(readFile(dbDir() + "/affp.aff"), QByteArray("011111111110110000000000000000"))
      << "the profile scan resets the options to their defaults";

  w->Check15->setValue(0);
  w->mnReScannerActuel->click();
  EXPECT_EQ(svc->audio.plays, 1) << "no sound when the option is off";
  EXPECT_EQ(w->Caption(), " - (3 Fichiers) Obtenus en 00:00:04");
}
