#include "mainwindow/Main2.h"

namespace vrn {

Main2::Main2(QWidget* parent) : Form("Main2", parent) {}

}  // namespace vrn
