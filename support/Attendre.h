#pragma once
// A wait that keeps the window answering: window events run until the time of
// day has moved the given number of seconds past the start, which is the time
// of day rounded to the nearest second.
namespace vrn {

void Attendre(double secondes);

}  // namespace vrn
