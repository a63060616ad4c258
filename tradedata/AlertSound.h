// The alert sounds of order, cancel and trade events: each event's sound file comes from the
// user's settings and plays through the program's sound player.
#pragma once

namespace tradedata {

// Plays the sound file of alert event 0-8 (the private setting "ALERT"/<event name>), or,
// when the event has none, of fallbackEvent (when it is 0 or more and another event). A
// relative file lies in the program directory. Returns at once; a sound still playing is cut
// off. On a machine without a sound output device nothing plays (the trace file says so once).
void PlayAlertSound(int event, int fallbackEvent);

}  // namespace tradedata
