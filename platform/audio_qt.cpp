#include "platform/audio_qt.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QTimer>

namespace vrn {

namespace {
// The sink holds this much sound ahead of the speaker. The server's default
// (about two seconds) would hold a sound back until that much is queued, so
// a short sound would never start.
constexpr qint64 kBufferUs = 200000;
// The sink turns idle once it has handed every byte to the sound server,
// which still holds up to one buffer of them: the sink is stopped only after
// that has had time to play.
constexpr int kTailMs = 300;
}  // namespace

QtAudioOutput::~QtAudioOutput() { stop(); }

int QtAudioOutput::deviceCount() { return int(QMediaDevices::audioOutputs().size()); }

bool QtAudioOutput::playing() const { return !sink_.isNull(); }

void QtAudioOutput::stop() {
  if (QAudioSink* sink = sink_.data()) {
    sink->disconnect();
    sink->stop();
    // Later, from the event loop: the sink's destructor may run events itself.
    sink->deleteLater();
  }
  sink_ = nullptr;
  pcm_.reset();
}

void QtAudioOutput::playPcm(std::shared_ptr<const QByteArray> pcm, int sampleRate, int channels) {
  if (playing()) ++cutOffs_;
  stop();
  if (!pcm || pcm->isEmpty() || sampleRate <= 0 || channels <= 0) return;

  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return;
  QAudioFormat format;
  format.setSampleRate(sampleRate);
  format.setChannelCount(channels);
  format.setSampleFormat(QAudioFormat::Int16);

  auto* sink = new QAudioSink(device, format, QCoreApplication::instance());
  sink->setBufferSize(format.bytesForDuration(kBufferUs));
  auto* buffer = new QBuffer(sink);
  // The buffer shares the bytes without copying them; pcm_ keeps them too
  // until the sound ends or is cut off.
  buffer->setData(*pcm);
  buffer->open(QIODevice::ReadOnly);
  pcm_ = std::move(pcm);
  sink_ = sink;

  QObject::connect(sink, &QAudioSink::stateChanged, sink, [this, sink](QAudio::State state) {
    if (sink_ != sink) return;
    if (state == QAudio::IdleState) {
      QTimer::singleShot(kTailMs, sink, [this, sink] {
        if (sink_ == sink && sink->state() == QAudio::IdleState) stop();
      });
    } else if (state == QAudio::StoppedState && sink->error() != QAudio::NoError) {
      stop();  // the device failed or went away
    }
  });
  sink->start(buffer);
}

}  // namespace vrn
