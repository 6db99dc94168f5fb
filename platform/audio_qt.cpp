#include "platform/audio_qt.h"

namespace vrn {

int QtAudioOutput::deviceCount() { return 0; }
void QtAudioOutput::playPcm(std::shared_ptr<const QByteArray>, int, int) {}

}  // namespace vrn
