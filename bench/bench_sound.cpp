// varnelo-bench sound [cut]: plays the program's sounds through the real
// audio output and prints how long each call took. "cut" starts the end
// sound, then cuts it off with the confirmation sound 0.5 s later.
//
// Without a sound card: start a PulseAudio server with a null sink
// (pulseaudio -n --daemonize=yes --load="module-null-sink sink_name=null"
// --load=module-native-protocol-unix), record its monitor with
// parec -d null.monitor --file-format=wav rec.wav, run this, and look for
// the sounds in the recording (sox rec.wav -n stat). Keep the recorder
// running for the whole run: an unwatched null sink plays in bursts.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>

#include "bench/bench.h"
#include "platform/audio_qt.h"
#include "platform/services.h"
#include "support/SonRessVRN.h"

namespace {

void pumpFor(double seconds) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < seconds * 1000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(5);
  }
}

int run(const QStringList& args) {
  using namespace vrn;
  installQtServices();
  auto* audio = dynamic_cast<QtAudioOutput*>(services().audio);
  const int devices = audio->deviceCount();
  std::printf("devices %d\n", devices);
  if (devices == 0) return 1;
  const double start = bench::now();
  auto timed = [&](const char* name, void (*call)()) {
    const double t0 = bench::now();
    const int cutBefore = audio->cutOffs();
    call();
    std::printf("at %.3f s %s returned in %.2f ms: playing %d, cut off %d, held bytes %lld\n", t0 - start, name,
                (bench::now() - t0) * 1000, int(audio->playing()), audio->cutOffs() - cutBefore,
                audio->heldBytes() ? (long long)audio->heldBytes()->size() : 0LL);
  };
  if (args.value(0) == "cut") {
    timed("JouerSon2", JouerSon2);
    pumpFor(0.5);
    timed("JouerSon", JouerSon);
    pumpFor(1.5);
  } else {
    timed("JouerSon", JouerSon);
    pumpFor(1.0);
    timed("JouerSon2", JouerSon2);
    pumpFor(3.0);
  }
  std::printf("at %.3f s: playing %d, cut-offs %d, held bytes %lld\n", bench::now() - start, int(audio->playing()),
              audio->cutOffs(), audio->heldBytes() ? (long long)audio->heldBytes()->size() : 0LL);
  std::fflush(stdout);
  return 0;
}

vrn::bench::Registration reg("sound", "[cut]", run);

}  // namespace
