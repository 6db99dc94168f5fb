#pragma once
// Moves a small picture back and forth while a long job runs, one step per
// timer tick: AnimerVaEtVient1 during a scan, AnimerVaEtVient2 during a
// search. Both share one set of counters that lives for the process, so a new
// job carries on the pattern where the last one stopped.
namespace vrn {

class PictureBox;

void AnimerVaEtVient1(PictureBox* picture, int pas);
void AnimerVaEtVient2(PictureBox* picture, int pas);

// Puts the shared counters back to their state at process start (tests only).
void resetAnimationCountersForTests();

}  // namespace vrn
