// The main window started in a child process, for what only a real process
// shows: the single-instance lock held by one program and met by another,
// and the quit command or a signal ending the process in the middle of a
// copy.
//
//   varnelo_window_child start FOLDER
//     starts the window on the executable folder FOLDER, prints STARTED and
//     runs until killed; every message box is printed as "BOX style title".
//   varnelo_window_child copy-quit FOLDER SOURCE DESTINATION [named]
//     starts the window, copies the file SOURCE into DESTINATION as the copy
//     command does and chooses the quit command once the copy has begun
//     writing (printing QUIT first); with "named", as on a file system that
//     makes no file without a name (the copy writes under a temporary name).
//   varnelo_window_child copy-wait FOLDER SOURCE DESTINATION [named]
//     the same copy, taking the signals that end a session as the program
//     does; prints COPYING once the copy has begun writing, and waits there
//     for whoever signals it.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

#include "mainwindow/Main2.h"
#include "mainwindow/copyloop.h"
#include "platform/pathcodec.h"
#include "platform/services.h"
#include "platform/testservices.h"
#include "support/VariablesVRN.h"
#include "tests/mainwindow/list_rows.h"
#include "tests/mainwindow/unnamed_files.h"

using namespace vrn;

namespace {

void say(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

// True once the copy's temporary file holds data: a hidden file in the
// folder, or one without a name.
bool copyUnderWay(const QString& folder) {
  for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
    if (f.fileName().startsWith('.') && f.size() > 0) return true;
  for (const testing::UnnamedFile& f : testing::unnamedFilesIn(folder))
    if (f.st.st_size > 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const QByteArray mode = argv[1];
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnelo"));
  TestServices svc;
  svc.dialogs.onBox = [](const ShownBox& box) { say(QStringLiteral("BOX %1 %2").arg(box.style).arg(box.title)); };
  svc.install();
  setAppFolderForTests(decodePath(QByteArray(argv[2])));

  auto* w = new Main2;
  w->quitOnSessionEnd();
  if (!w->start()) return 0;  // the real road ends the process itself
  say(QStringLiteral("STARTED"));
  if (mode == "start") return app.exec();
  const bool quitItself = mode == "copy-quit";
  if ((!quitItself && mode != "copy-wait") || argc < 5) return 2;

  const QString source = decodePath(QByteArray(argv[3]));
  const QString destination = decodePath(QByteArray(argv[4]));
  copyTestHooks().refuseUnnamedTemporaries = argc > 5 && QByteArray(argv[5]) == "named";
  const int row = testing::addFileRow(w->ListView2, source, 1);
  w->ListView2->setChecked(row, true);
  VariablesVRN& v = vrnVars();
  v.NombreSelection = 1;
  v.DossierDestination = destination;
  v.ModeCopie = kYes;
  // Once part of the file is written, the copy waits: until the quit was
  // chosen, or for whoever signals the process (a deadline against a hang).
  std::atomic<bool> told{false};
  copyTestHooks().failWrite = [&told, quitItself](qint64 written) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (written > 0 && (!quitItself || !told) && std::chrono::steady_clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
  };
  QTimer turns;
  QObject::connect(&turns, &QTimer::timeout, [&] {
    if (told || !copyUnderWay(destination)) return;
    told = true;
    say(quitItself ? QStringLiteral("QUIT") : QStringLiteral("COPYING"));
    if (quitItself) w->mnArreter_Click();
  });
  turns.start(0);
  w->CopierFichiersCoches();
  say(QStringLiteral("COPY ENDED"));
  return 3;
}
