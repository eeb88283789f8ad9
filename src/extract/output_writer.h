// Where each chunk of extracted data goes: the CRC over it, the write to the
// output file and its check, the progress meter, and the poll of the message
// queue through which the user cancels. A failed write ends the run with the
// write-error message; a confirmed cancel ends it with no message.
#pragma once

#include <windows.h>

#include <cstdint>

extern uint32_t BytesWritten;      // output bytes passed through WriteOutputBuffer in this run
extern uint32_t LastProgressMark;  // BytesWritten at the last progress update
extern int MeterInUse;             // the main dialog shows the meter (control 201) for this run

// Resets the progress counters; the main dialog calls it before each run.
void ResetProgress();

// The decoder's output hook: folds the OutputFill bytes at OutputBuffer into
// RunningCrc, writes them to OutputFile, advances the meter at most once per
// 64 KiB, polls for cancellation, and empties the buffer. Memory mode only
// empties it.
void WriteOutputBuffer();

// Writes the current chunk (OutputFill bytes at OutputBuffer) after folding
// it into RunningCrc, and checks the write (CheckWrite). The buffer is left
// as it is.
void WriteOutputChunk();

// Brings the meter up to date with BytesWritten and repaints it at once: the
// position is sent when the meter is in use and the total size is known;
// nothing at all with flags bit 22.
void UpdateMeter();

// Takes what _lwrite returned for the current chunk of OutputFill bytes: a
// short or failed write ends the run with the write-error message; a full
// one runs the cancellation poll, and a confirmed cancel ends the run.
void CheckWrite(UINT written_bytes);

// Drains the message queue. User input addressed to the main dialog asks
// whether to cancel; true when the user said yes, or when CancelFlag is set
// (before or by a dispatched message). Other messages are dispatched, mouse
// moves keep the busy cursor.
bool PollCancel();

// Asks StringId 20, whether to stop the extraction; true on Yes, or when
// CancelFlag was set while the box was up (the session ended). Asked again
// while its box is up, it returns CancelFlag without a second box.
bool ConfirmStopExtraction();

// The percentage for bytes_written out of total_bytes, as the meter gets it;
// total_bytes 0 gives 0 (no percentage can be had).
uint32_t ProgressPercent(uint32_t bytes_written, uint32_t total_bytes);
