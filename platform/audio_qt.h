#pragma once
// Sound output through Qt Multimedia.
#include "platform/services.h"

namespace vrn {

class QtAudioOutput : public AudioOutput {
 public:
  int deviceCount() override;
  void playPcm(std::shared_ptr<const QByteArray> pcm, int sampleRate, int channels) override;
};

}  // namespace vrn
