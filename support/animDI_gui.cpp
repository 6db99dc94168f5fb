#include "support/animDI.h"

#include <QtGlobal>
#include <algorithm>

#include "platform/controls.h"

namespace vrn {

namespace {

// Shared by both animations and kept between calls.
qint64 Compteur1 = 0;
qint64 Compteur2 = 0;
qint16 NbPas = 0;

// One tick: walk left until the left edge reaches leftLimit, then right until
// it passes rightLimit or has taken NbPas steps. Setting Compteur1 to the
// right limit makes NbPas too large to end the next right walk early.
void step(PictureBox* picture, int pas, int rightLimit, int leftLimit) {
  const int x = picture->Left();
  Compteur1 = Compteur1 + 1;
  if (x > rightLimit) Compteur1 = rightLimit;
  const bool right = Compteur1 == 0 || x <= leftLimit;
  if (right) {
    picture->setLeft(x + pas);
    Compteur1 = -1;
    Compteur2 = Compteur2 + 1;
  } else {
    // The counter stays far below the 16-bit limit for any real step; a
    // picture that never moves (step 0) must not wrap it round.
    NbPas = qint16(std::clamp<qint64>(Compteur1 + 1, -32768, 32767));
    picture->setLeft(x - pas);
  }
  if (right && Compteur2 == NbPas) {
    Compteur1 = 0;
    Compteur2 = 0;
  }
}

}  // namespace

void AnimerVaEtVient1(PictureBox* picture, int pas) { step(picture, pas, 2600, 1000); }

void AnimerVaEtVient2(PictureBox* picture, int pas) { step(picture, pas, 3960, 240); }

void resetAnimationCountersForTests() {
  Compteur1 = 0;
  Compteur2 = 0;
  NbPas = 0;
}

}  // namespace vrn
