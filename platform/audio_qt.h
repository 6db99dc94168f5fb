#pragma once
// Sound output through Qt Multimedia: one sound at a time on the default
// output, played in the background from memory.
#include <QPointer>

#include "platform/services.h"

class QAudioSink;

namespace vrn {

class QtAudioOutput : public AudioOutput {
 public:
  ~QtAudioOutput() override;
  int deviceCount() override;
  void playPcm(std::shared_ptr<const QByteArray> pcm, int sampleRate, int channels) override;

  // For checks on a machine with sound: whether a sound is playing, how many
  // plays cut off a sound, and the bytes held for the sound playing.
  bool playing() const;
  int cutOffs() const { return cutOffs_; }
  std::shared_ptr<const QByteArray> heldBytes() const { return pcm_; }

 private:
  void stop();
  // The sink playing, a child of the application object so that it never
  // outlives it; its buffer is a child of the sink.
  QPointer<QAudioSink> sink_;
  std::shared_ptr<const QByteArray> pcm_;
  int cutOffs_ = 0;
};

}  // namespace vrn
