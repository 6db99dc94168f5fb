// The real sound output. Needs a sound server with an output (for example a
// PulseAudio null sink); skipped where there is none.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

#include "platform/audio_qt.h"

namespace vrn {
namespace {

// A faint square wave (it may be heard on a developer's machine).
std::shared_ptr<const QByteArray> tone(int ms, int rate) {
  QByteArray pcm(qsizetype(rate) * ms / 1000 * 2, '\0');
  auto* s = reinterpret_cast<qint16*>(pcm.data());
  for (qsizetype i = 0; i < pcm.size() / 2; ++i) s[i] = (i / 50) % 2 ? 200 : -200;
  return std::make_shared<const QByteArray>(pcm);
}

// Runs events until the condition holds or the deadline passes.
bool waitFor(const std::function<bool()>& done, int deadlineMs) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < deadlineMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
  return done();
}

TEST(QtAudioOutput, NewSoundCutsOffTheOneHeldAndBytesAreReleasedAtTheEnd) {
  QtAudioOutput out;
  if (out.deviceCount() == 0) GTEST_SKIP() << "no audio output on this machine";

  auto longSound = tone(2000, 22050);
  std::weak_ptr<const QByteArray> longWatch = longSound;
  out.playPcm(std::move(longSound), 22050, 1);
  ASSERT_TRUE(out.playing());
  EXPECT_EQ(out.heldBytes(), longWatch.lock());  // kept while it plays
  waitFor([] { return false; }, 200);
  EXPECT_TRUE(out.playing());

  auto shortSound = tone(300, 44100);
  const QByteArray* shortBytes = shortSound.get();
  out.playPcm(std::move(shortSound), 44100, 1);
  EXPECT_EQ(out.cutOffs(), 1);
  EXPECT_TRUE(longWatch.expired());
  ASSERT_TRUE(out.heldBytes());
  EXPECT_EQ(out.heldBytes().get(), shortBytes);

  // The short sound ends by itself and lets its bytes go.
  EXPECT_TRUE(waitFor([&] { return !out.playing(); }, 5000));
  EXPECT_FALSE(out.heldBytes());
  EXPECT_EQ(out.cutOffs(), 1);
}

}  // namespace
}  // namespace vrn
