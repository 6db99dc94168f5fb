#include "platform/audio_qt.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>

namespace vrn {

QtAudioOutput::~QtAudioOutput() { stop(); }

int QtAudioOutput::deviceCount() { return int(QMediaDevices::audioOutputs().size()); }

bool QtAudioOutput::playing() const {
  return sink_ && (sink_->state() == QAudio::ActiveState || sink_->state() == QAudio::IdleState);
}

void QtAudioOutput::stop() {
  if (sink_) {
    sink_->disconnect();
    sink_->stop();
    delete sink_.data();  // deletes its buffer too
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
  auto* buffer = new QBuffer(sink);
  // The buffer shares the bytes (no copy); pcm_ keeps them for as long as
  // the sink may read them.
  buffer->setData(*pcm);
  buffer->open(QIODevice::ReadOnly);
  pcm_ = std::move(pcm);
  sink_ = sink;
  QObject::connect(sink, &QAudioSink::stateChanged, sink, [this, sink](QAudio::State state) {
    // Idle: every byte has been played. Stopped: an error (device gone).
    if (state != QAudio::IdleState && state != QAudio::StoppedState) return;
    if (sink_ != sink) return;
    sink->disconnect();
    sink->stop();
    sink->deleteLater();  // not from inside its own signal
    sink_ = nullptr;
    pcm_.reset();
  });
  sink->start(buffer);
}

}  // namespace vrn
