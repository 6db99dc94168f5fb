// The display and start-up options and their stored file.
#include "database/optionsfile.h"
#include "mainwindow/Main2.h"
#include "platform/services.h"
#include "support/SaveDeleteReg.h"
#include "support/VariablesVRN.h"

namespace vrn {

namespace {

const QString kRunKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString kAutostartValueName = QStringLiteral("Varnelo");

// The autostart value's data: the quoted program path, whatever the running
// executable is called.
QString ValeurDemarrageAuto() { return u'"' + appFolder() + QStringLiteral("/Varnelo") + u'"'; }

QString flag(const CheckBox* box) { return box->Value() == 1 ? kOptionOn : kOptionOff; }

}  // namespace

void Main2::wireOptions() {
  // The options.
  connect(Check10, &CheckBox::Click, this, &Main2::Check10_Click);
  connect(Check4, &CheckBox::Click, this, &Main2::Check4_Click);
  connect(Check5, &CheckBox::Click, this, &Main2::Check5_Click);
  connect(Check6, &CheckBox::Click, this, &Main2::Check6_Click);
  connect(Check7, &CheckBox::Click, this, &Main2::Check7_Click);
  connect(Check8, &CheckBox::Click, this, &Main2::Check8_Click);
  connect(Check9, &CheckBox::Click, this, &Main2::Check9_Click);
  connect(Check2, &CheckBox::Click, this, &Main2::Check2_Click);
  connect(Check11, &CheckBox::Click, this, &Main2::Check11_Click);
  connect(Check12, &CheckBox::Click, this, &Main2::Check12_Click);
  connect(Check14, &CheckBox::Click, this, &Main2::Check14_Click);
  connect(Check13, &CheckBox::Click, this, &Main2::Check13_Click);
  connect(Check15, &CheckBox::Click, this, &Main2::Check15_Click);
  connect(Check16, &CheckBox::Click, this, &Main2::Check16_Click);
  connect(Check3, &CheckBox::Click, this, &Main2::Check3_Click);
  connect(MyButton13, &MyButton::Click, this, &Main2::MyButton13_Click);
  // The list sets.
  connect(mnAF1, &MenuItem::Click, this, &Main2::mnAF1_Click);
  connect(mnAfficherTout, &MenuItem::Click, this, &Main2::mnAfficherTout_Click);
  connect(mnToutesExtenInit, &MenuItem::Click, this, &Main2::mnToutesExtenInit_Click);
  connect(Check1, &CheckBox::Click, this, &Main2::Check1_Click);
  // The preferences panel.
  connect(MyButton7, &MyButton::Click, this, &Main2::MyButton7_Click);
  connect(mnChoisir, &MenuItem::Click, this, &Main2::mnChoisir_Click);
  connect(Timer2, &Timer::Timer_, this, &Main2::Timer2_Timer);
  connect(MyButton4, &MyButton::Click, this, &Main2::MyButton4_Click);
  connect(MyButton1, &MyButton::Click, this, &Main2::MyButton1_Click);
  connect(MyButton2, &MyButton::Click, this, &Main2::MyButton2_Click);
  connect(MyButton2, &MyButton::RightClick, this, &Main2::MyButton2_RightClick);
}

CheckBox* Main2::optionBox(int k) const {
  CheckBox* const boxes[kNbOptions] = {Check10, Check4,  Check5,  Check6,  Check7,  Check8,  Check9,
                                       Check2,  Check11, Check12, Check14, Check13, Check15, Check16};
  return k >= 1 && k <= kNbOptions ? boxes[k - 1] : nullptr;
}

// Flags 2 to 7, 9, 10, 12 to 14: the box's state into its flag, nothing else.
void Main2::Check4_Click() { vrnVars().Par[2] = flag(Check4); }
void Main2::Check5_Click() { vrnVars().Par[3] = flag(Check5); }
void Main2::Check6_Click() { vrnVars().Par[4] = flag(Check6); }
void Main2::Check7_Click() { vrnVars().Par[5] = flag(Check7); }
void Main2::Check8_Click() { vrnVars().Par[6] = flag(Check8); }
void Main2::Check9_Click() { vrnVars().Par[7] = flag(Check9); }
void Main2::Check11_Click() { vrnVars().Par[9] = flag(Check11); }
void Main2::Check12_Click() { vrnVars().Par[10] = flag(Check12); }
void Main2::Check13_Click() { vrnVars().Par[12] = flag(Check13); }
void Main2::Check15_Click() { vrnVars().Par[13] = flag(Check15); }
void Main2::Check16_Click() { vrnVars().Par[14] = flag(Check16); }

// Flag 1 and its mirror in the result panel follow each other; setting a box
// to the state it has raises nothing, so the pair does not loop.
void Main2::Check10_Click() {
  if (Check10->Value() == 1) {
    Check3->setValue(1);
    vrnVars().Par[1] = kOptionOn;
  } else {
    vrnVars().Par[1] = kOptionOff;
    Check3->setValue(0);
  }
}

void Main2::Check3_Click() { Check10->setValue(Check3->Value() == 1 ? 1 : 0); }

void Main2::Check2_Click() {
  if (Check2->Value() == 1) {
    Label11->setCaption("Afficher les Détails");
    vrnVars().Par[8] = kOptionOn;
  } else {
    vrnVars().Par[8] = kOptionOff;
    Label11->setCaption("Ne pas Afficher les Détails");
  }
}

// The autostart value follows the click at once, saved or not.
void Main2::Check14_Click() {
  if (Check14->Value() == 1) {
    qint32 root = HKEY_LOCAL_MACHINE;
    EcrireValeurRegistre(root, kRunKey, kAutostartValueName, ValeurDemarrageAuto());
    vrnVars().Par[11] = kOptionOn;
  } else {
    SupprimerValeurRegistre(HKEY_LOCAL_MACHINE, kRunKey, kAutostartValueName);
    vrnVars().Par[11] = kOptionOff;
  }
}

void Main2::EcrireAffichageDefaut() { writeOptionsRecord(defaultOptionsRecord()); }

void Main2::ChargerAffichage() {
  VariablesVRN& v = vrnVars();
  const std::optional<QByteArray> record = readOptionsRecord();
  if (!record) return;
  for (int k = 1; k <= kNbOptions; ++k) v.Par[size_t(k)] = flagText(*record, k);
  // A box that changes runs its handler before the next one is set; one that
  // keeps its state leaves the character read in its flag.
  for (int k = 1; k <= kNbOptions; ++k) optionBox(k)->setValue(v.Par[size_t(k)] == kOptionOn ? 1 : 0);
}

void Main2::SauverAffichage() { writeOptionsRecord(optionsRecord(vrnVars().Par)); }

void Main2::MyButton13_Click() {
  EcrireAffichageDefaut();
  ChargerAffichage();
}

}  // namespace vrn
