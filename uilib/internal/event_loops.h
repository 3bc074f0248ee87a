#pragma once
class QEventLoop;

namespace uilib_detail {

// Runs a loop that PostQuitMessage ends (message loops and modal loops alike, as a quit
// message ends every nested loop). A quit posted while no loop runs ends the next one at once.
int RunQuittableLoop(QEventLoop& loop);

}  // namespace uilib_detail
