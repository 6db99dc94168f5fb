#include "platform/testservices.h"

#include <cmath>

#include "platform/eventpump.h"

namespace vrn {

int TestDialogs::msgBox(QWidget*, const QString& text, int style, const QString& title) {
  ShownBox box{style, title, text};
  boxes.append(box);
  if (onBox) onBox(box);
  if (!answers.empty()) {
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  switch (style & kMsgBoxButtons) {
    case vbYesNoCancel:
      return vbCancel;
    case vbYesNo:
      return vbNo;
    default:
      return vbOK;
  }
}

QString TestDialogs::browseForFolder(QWidget*, const QString& title) {
  browserTitles.append(title);
  if (onBrowse) onBrowse();
  if (folders.empty()) return QString();
  QString f = folders.front();
  folders.pop_front();
  return f;
}

QString TestDialogs::saveFileName(QWidget*, const QString& title, const QString& startFolder,
                                  const QString& proposedName) {
  saveCalls.append({title, startFolder, proposedName});
  if (saveNames.empty()) return QString();
  QString f = saveNames.front();
  saveNames.pop_front();
  return f;
}

void ManualClock::waitForEvents(double seconds) {
  if (seconds < 0.001) seconds = 0.001;
  // Kept to the microsecond, so many short waits add up to whole seconds.
  const auto micro = [](double s) { return std::round(s * 1e6) / 1e6; };
  now = micro(now + seconds);
  if (now >= 86400.0) now = micro(now - 86400.0);
  waited = micro(waited + seconds);
  if (onWait) onWait();
  DoEvents();
}

void TestAudio::playPcm(std::shared_ptr<const QByteArray> pcm, int sampleRate, int channels) {
  if (playing) ++cutOffs;
  ++plays;
  playing = true;
  current = std::move(pcm);
  lastRate = sampleRate;
  lastChannels = channels;
}

static QString registryKey(quint32 root, const QString& key, const QString& name) {
  return QString::number(root, 16) + "\\" + key + "\\" + name;
}

void MemoryRegistry::writeValue(quint32 root, const QString& key, const QString& name, const QString& data) {
  ++writes;
  values[registryKey(root, key, name)] = data;
}

void MemoryRegistry::deleteValue(quint32 root, const QString& key, const QString& name) {
  ++deletes;
  values.remove(registryKey(root, key, name));
}

QString MemoryRegistry::readValue(quint32 root, const QString& key, const QString& name) {
  return values.value(registryKey(root, key, name));
}

TestServices::TestServices() { install(); }

void TestServices::install() {
  Services& s = services();
  s.dialogs = &dialogs;
  s.shell = &shell;
  s.clock = &clock;
  s.audio = &audio;
  s.registry = &registry;
  s.network = &network;
}

}  // namespace vrn
