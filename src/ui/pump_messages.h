// The message pump of every wait that must keep the dialog alive.
#pragma once

// Removes and dispatches every message waiting in the thread's queue; returns
// when the queue is empty or after removing a WM_QUIT (dropped, not
// dispatched). Never blocks.
void PumpMessages();
