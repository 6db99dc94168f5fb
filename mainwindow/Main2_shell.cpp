// Window shell: layout rules, quit and minimise, busy indicators.
#include "mainwindow/Main2.h"
#include "platform/quitsignals.h"
#include "support/animDI.h"
#include "support/VariablesVRN.h"

namespace vrn {

void Main2::wireShell() {
  connect(Command2, &MyButton::Click, this, &Main2::Command2_Click);
  connect(mnReduire, &MenuItem::Click, this, &Main2::mnReduire_Click);
  connect(mnArreter, &MenuItem::Click, this, &Main2::mnArreter_Click);
  connect(MyButton8, &MyButton::Click, this, &Main2::MyButton8_Click);
  connect(mnMessageAuteur, &MenuItem::Click, this, &Main2::mnMessageAuteur_Click);
  connect(MyFrame6, &MyFrame::MouseMove, this, &Main2::MyFrame6_MouseMove);
  connect(MyButton10, &MyButton::MouseMove, this, &Main2::MyButton10_MouseMove);
  connect(MyButton10, &MyButton::Click, this, &Main2::MyButton10_Click);
  connect(timer3, &Timer::Timer_, this, &Main2::timer3_Timer);
  connect(Timer5, &Timer::Timer_, this, &Main2::Timer5_Timer);
}

void Main2::makeCompact() {
  setWidth(kCompactWidth);
  setHeight(kCompactHeight);
  centreHorizontally();
}

void Main2::setWidthCentred(int width) {
  setWidth(width);
  centreHorizontally();
}

void Main2::Form_Resize() {
  const int mode = vrnVars().ModeAffichageAuto;
  if (Combo7->Visible()) Combo7->hide();
  MyButton10->setWidth(Width() - 120);
  if (Width() < 11490) {
    Image5->hide();
    MyFrame1->hide();
    Text1->hide();
  } else {
    Image5->show();
  }
  if (mode == kAutoPagesInTaskBar || (mode == kAutoPagesOnScreen && Width() > kCompactWidth)) return;
  if (Height() < 5970) {
    // Runs the layout again at the new height (or is refused when minimised).
    setHeight(5970);
    return;
  }
  MyFrame6->setWidth(Width() - MyFrame6->Left() - 300);
  MyFrame1->setWidth(Width() - MyFrame1->Left() - 300);
  MyFrame6->setHeight(Height() - MyFrame6->Top() - 680);
  MyFrame1->setHeight(MyFrame6->Height() < 6015 ? 6015 : MyFrame6->Height());
  ListView2->setWidth(MyFrame6->Width() - 240);
  ListView2->setHeight(MyFrame6->Height() - MyFrame6->Top() - 300);
  Check2->setTop(MyFrame6->Height() - 240);
  Label11->setTop(Check2->Top());
  Check3->setTop(Check2->Top());
  Command4->setTop(MyFrame6->Top() + Check2->Top() - 40);
  Command5->setTop(Command4->Top());
  Command8->setTop(Command4->Top());
  Command11->setTop(Command4->Top());
  if (Text1->Visible()) Text1->setWidth(MyFrame1->Width() - Text1->Left());
}

// Every request to close the main window is refused; the quit command ends it.
void Main2::Form_Unload(int& cancel) { cancel = 1; }

void Main2::Form_Click() {
  if (Width() == 5010 && Combo1->Visible()) {
    Combo1->hide();
    MyFrame7->hide();
  }
}

void Main2::Form_MouseMove() {
  if (Combo7->Visible()) Combo7->hide();
}

void Main2::MyFrame6_MouseMove() {
  if (Combo7->Visible()) Combo7->hide();
}

void Main2::MyButton10_MouseMove() {
  if (Combo7->Visible()) Combo7->hide();
}

void Main2::MyButton10_Click() { Combo7->hide(); }

void Main2::Command2_Click() {
  PopupMenu(mnMenu5, Command2->Left() - 1000, Command2->Top() - (Command2->Height() + 250));
}

void Main2::mnReduire_Click() { setWindowState(vbMinimized); }

void Main2::mnArreter_Click() {
  ListView2->Clear();
  ListView1->Clear();
  endProgram(0);
}

void Main2::quitOnSessionEnd() {
  quitOnEndSignals(this, [this] { mnArreter_Click(); });
}

void Main2::MyButton8_Click() {
  if (WindowState() == vbMinimized || WindowState() == vbMaximized) setWindowState(vbNormal);
}

// The author's address is no longer available.
void Main2::mnMessageAuteur_Click() {}

void Main2::timer3_Timer() { AnimerVaEtVient1(label4, 50); }

void Main2::Timer5_Timer() {
  if (vrnVars().ScanEnCours == kYes) {
    MyButton2->setEnabled(false);
    MyButton7->setEnabled(false);
    MyButton9->setEnabled(false);
    MyFrame7->hide();
    Combo1->hide();
  } else {
    MyButton2->setEnabled(true);
    MyButton7->setEnabled(true);
    MyButton9->setEnabled(true);
  }
}

}  // namespace vrn
