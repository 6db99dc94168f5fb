#pragma once
// A started window in a known state for the options, list-set and
// preferences tests: a stored source that exists (no first-run road), stored
// options that neither scan nor open pages at start, then every option box
// set back to its design state, the option texts emptied and the recorded
// boxes and registry calls forgotten. So the tests hold whatever start-up
// does with the stored files.
#include "database/dbfolder.h"
#include "platform/pathcodec.h"
#include "support/VariablesVRN.h"
#include "tests/mainwindow/main2_fixture.h"

namespace vrn::testing {

class OptionsWindowTest : public Main2Test {
 protected:
  // The design states of the option boxes, flags 1 to 14.
  static constexpr int kDesign[14] = {1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 0, 0, 0, 1};

  Main2* startQuiet() {
    writeFile(dbDir() + "/der.rep", encodePath(exeDir()).leftJustified(1024, ' '));
    writeFile(dbDir() + "/affp.aff", QByteArray("11111110000001") + QByteArray(16, '0'));
    Main2* w = startWindow();
    for (int k = 1; k <= 14; ++k) w->optionBox(k)->setValue(kDesign[k - 1]);
    w->Check3->setValue(0);
    w->Label11->setCaption("Afficher les Détails");
    vrnVars().Par = {};
    svc->registry.values.clear();
    svc->registry.writes = 0;
    svc->registry.deletes = 0;
    svc->dialogs.boxes.clear();
    svc->audio.plays = 0;
    return w;
  }
  QString affp() const { return dbDir() + "/affp.aff"; }
  QString mesp() const { return dbDir() + "/mesp.par"; }
  QString autostartValue() {
    return svc->registry.readValue(0x80000002u, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Varnelo");
  }
  static QStringList comboItems(const ComboBox* c) {
    QStringList items;
    for (int i = 0; i < c->ListCount(); ++i) items << c->List(i);
    return items;
  }
  static QList<bool> ticks(const CheckListBox* l) {
    QList<bool> out;
    for (int i = 0; i < l->ListCount(); ++i) out << l->Selected(i);
    return out;
  }
  static void tickAll(CheckListBox* l, const QList<bool>& on) {
    for (int i = 0; i < l->ListCount() && i < on.size(); ++i) l->setSelected(i, on[i]);
  }
  QList<int> boxValues(const Main2* w) const {
    QList<int> out;
    for (int k = 1; k <= 14; ++k) out << w->optionBox(k)->Value();
    return out;
  }
};

}  // namespace vrn::testing
