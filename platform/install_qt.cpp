#include "platform/audio_qt.h"
#include "platform/network_linux.h"
#include "platform/registry_xdg.h"
#include "platform/services_qt.h"

namespace vrn {

void installQtServices() {
  static QtDialogs dialogs;
  static QtShell shell;
  static SystemClock clock;
  static QtAudioOutput audio;
  static XdgRegistry registry;
  static LinuxNetwork network;
  Services& s = services();
  s.dialogs = &dialogs;
  s.shell = &shell;
  s.clock = &clock;
  s.audio = &audio;
  s.registry = &registry;
  s.network = &network;
}

}  // namespace vrn
