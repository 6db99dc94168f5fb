// The "nothing else changed" check the window tests lean on: it must see a
// change to any control the test does not name, say which control and which
// property, and let through exactly what the test names.
#include <gtest/gtest-spi.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <functional>

#include "platform/services.h"
#include "tests/mainwindow/list_rows.h"
#include "tests/mainwindow/main2_fixture.h"

using namespace vrn;
using namespace vrn::testing;

class WindowSnapshotTest : public Main2Test {
 protected:
  void SetUp() override {
    Main2Test::SetUp();
    startWindow();
    ASSERT_TRUE(started);
  }
};

TEST_F(WindowSnapshotTest, AnUntouchedWindowHasNothingToReport) {
  const WindowSnapshot before = snapshot();
  ASSERT_GT(before.state.size(), 150) << "every control is pictured";
  EXPECT_TRUE(unexpectedChanges(before.state, snapshot().state, {}).isEmpty());
  expectOnlyChanged(before);
}

TEST_F(WindowSnapshotTest, EachKindOfChangeIsReportedByControlAndProperty) {
  Main2* w = win.get();
  struct Case {
    const char* what;
    std::function<void()> act;
    QStringList reported;  // exactly these lines' starts
  };
  const Case cases[] = {
      {"a caption", [&] { w->Label2->setCaption("autre"); }, {"Label2.Caption: \""}},
      {"a hidden button", [&] { w->Command1->hide(); }, {"Command1.Visible: \"true\" -> \"false\""}},
      {"an enabled button", [&] { w->MyButton6->setEnabled(!w->MyButton6->Enabled()); }, {"MyButton6.Enabled"}},
      {"a box's value", [&] { w->Check13->setValue(w->Check13->Value() == 1 ? 0 : 1); }, {"Check13.Value"}},
      {"a list's contents", [&] { w->Combo8->AddItem("zzz"); }, {"Combo8.List"}},
      {"a tick in a list", [&] { w->LstSources->AddItem("x"); }, {"LstSources.List", "LstSources.Selected"}},
      {"a text", [&] { w->Text2->setText("mot"); }, {"Text2.Text"}},
      {"a tooltip", [&] { w->Label30->setToolTipText("aide"); }, {"Label30.ToolTipText"}},
      {"a place", [&] { w->Label30->setTop(w->Label30->Top() + 15); }, {"Label30.Top"}},
      {"a row", [&] { addFileRow(w->ListView2, "/x/a.txt", 1); }, {"ListView2.Count", "ListView2.Rows"}},
      {"a timer", [&] { w->Timer4->setEnabled(true); }, {"Timer4.Enabled"}},
      {"a menu item", [&] { w->mnVoirFichier->setEnabled(!w->mnVoirFichier->Enabled()); }, {"mnVoirFichier.Enabled"}},
      {"the window's caption", [&] { w->setCaption("autre"); }, {"Main2.Caption"}},
      {"the pointer", [&] { w->setMousePointer(11); }, {"Main2.MousePointer"}},
      {"a box shown",
       [&] { services().dialogs->msgBox(w, "texte", 64, "titre"); },
       {"Dialogs.Boxes: \"\" -> \"[64] titre: texte\""}},
      {"a file opened", [&] { services().shell->openPath("/x/a.txt"); }, {"Shell.Opened"}},
      {"a menu popped", [&] { w->mnMenu3->popup(w, 10, 20); }, {"Menus.Popups: \"\" -> \"mnMenu3 at 10,20\""}},
      {"a control made", [&] { place(new Label(w), "Extra", 0, 0, 10, 10); }, {"Extra: appeared"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const WindowSnapshot before = snapshot();
    c.act();
    const QStringList lines = unexpectedChanges(before.state, snapshot().state, {});
    ASSERT_EQ(lines.size(), c.reported.size()) << lines.join('\n').toStdString();
    for (int i = 0; i < lines.size(); ++i) EXPECT_TRUE(lines[i].startsWith(c.reported[i])) << lines[i].toStdString();
    // Through the check itself: one failure naming the change.
    EXPECT_NONFATAL_FAILURE(expectOnlyChanged(before), c.reported[0].toStdString());
    // Named, the change passes, alone or with all its control's properties.
    const QString control = c.reported[0].section(QRegularExpression("[.:]"), 0, 0);
    QList<Change> named;
    for (const QString& r : c.reported) named << Change{control, r.section(QRegularExpression("[.:]"), 1, 1)};
    if (!c.reported[0].contains(": appeared")) expectOnlyChanged(before, named);
    expectOnlyChanged(before, {{control, "*"}});
  }
}

TEST_F(WindowSnapshotTest, NamingOneChangeLeavesTheOthersReported) {
  Main2* w = win.get();
  const WindowSnapshot before = snapshot();
  w->Label2->setCaption("autre");
  w->Label28->setCaption("autre aussi");
  EXPECT_NONFATAL_FAILURE(expectOnlyChanged(before, {{"Label2", "Caption"}}), "Label28.Caption");
  EXPECT_NONFATAL_FAILURE(expectOnlyChanged(before, {{"Label28", "*"}}), "Label2.Caption");
  EXPECT_NONFATAL_FAILURE(expectOnlyChanged(before, {{"Label2", "Visible"}, {"Label28", "Caption"}}), "Label2.Caption");
  expectOnlyChanged(before, {{"Label2", "Caption"}, {"Label28", "Caption"}});
}

TEST_F(WindowSnapshotTest, ANameThatMatchesNothingIsReported) {
  const WindowSnapshot before = snapshot();
  EXPECT_NONFATAL_FAILURE(expectOnlyChanged(before, {{"Labell2", "Caption"}}),
                          "Labell2: named as changed, but the window has no such control");
  EXPECT_NONFATAL_FAILURE(expectOnlyChanged(before, {{"Label2", "Capton"}}),
                          "Label2.Capton: named as changed, but the control has no such property");
}

TEST_F(WindowSnapshotTest, AnotherWindowOpeningIsAChangeOfTheMainWindowsPicture) {
  const WindowSnapshot before = snapshot();
  auto* other = new Form("Autre");
  other->setCaption("une page");
  other->Show();
  EXPECT_NONFATAL_FAILURE(expectOnlyChanged(before), "Main2.OtherWindows: \"\" -> \"Autre \"une page\" state 0\"");
  other->Unload();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  expectOnlyChanged(before);
}

TEST_F(WindowSnapshotTest, ALongValueIsShownFromWhereItChanges) {
  Main2* w = win.get();
  for (int i = 0; i < 40; ++i) w->Combo8->AddItem(QString("liste%1").arg(i, 2, 10, QChar('0')));
  const WindowSnapshot before = snapshot();
  w->Combo8->AddItem("zz-ajoutée");
  const QStringList lines = unexpectedChanges(before.state, snapshot().state, {});
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].startsWith("Combo8.List: \"...")) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].endsWith("liste39 | zz-ajoutée\"")) << lines[0].toStdString();
}
