// The decoder's stream buffers and counters: where compressed bytes come from
// and where decoded bytes go. Shared by the blob decoding at start-up (message
// table, header, password dialog) and by every archive member.
//
// Input side. NextInputByte takes bytes at InputCursor. In file mode, when the
// current input buffer is used up it asks StreamCalls.RefillInput for the
// next chunk of the member (the archive reader reads, decrypts and changes
// disks; the decoder knows nothing of files). InputRemaining bounds the whole
// stream: once it reaches 0 no byte is delivered, whatever the buffer holds.
//
// Output side. FlushWindow moves decoded bytes from the window to
// OutputPointer in pieces so that OutputFill never passes IO_CHUNK_BYTES. In
// file mode every full chunk goes to StreamCalls.WriteOutputBuffer (CRC, file,
// meter, cancellation), which must set OutputPointer back to OutputBuffer and
// OutputFill to 0. In memory mode (MemoryOutput set) nothing is written
// anywhere: the output lies contiguously from the caller's destination and
// never passes OutputLimit; output that would is cut there and OutputOverrun
// is set.
//
// Set-up. The decoder owns Stream, StreamCalls and InputRemaining. The stub
// hands over its work buffers and table-memory hooks through
// InitialiseStreams and takes the buffers back with DetachStreams; it never
// writes these fields itself, and it frees the buffers it allocated. (The
// tests, fuzzer and benchmark stand in for the whole program and set the
// fields directly.)
//
// Portable: no Windows headers. The stub points the hooks at its Windows
// code; tests, fuzzers and benchmarks point them at memory.
#pragma once

#include <cstdint>

constexpr uint32_t WINDOW_BYTES = 0x10000;     // 64 KiB circular history
constexpr uint32_t WINDOW_MASK = WINDOW_BYTES - 1;
constexpr uint32_t IO_CHUNK_BYTES = 0x7000;    // bytes per refill and per write
constexpr uint32_t IO_BUFFER_BYTES = 0x7014;   // allocation of each I/O buffer
static_assert((WINDOW_BYTES & WINDOW_MASK) == 0, "window positions wrap with a mask");
static_assert(IO_CHUNK_BYTES <= IO_BUFFER_BYTES, "a chunk fits its buffer");

// Stream bytes not yet consumed: the member's compressed size (less the
// encryption header) or the blob's size. Signed, like every offset of the
// program; -1 means nothing has been read yet (InitialiseStreams). Written by
// BeginMemberInput, DecodeBlob, NextInputByte, the decoder's fast paths and
// the spanned skip.
extern int32_t InputRemaining;

struct StreamBuffers {
    uint8_t *Window;              // WINDOW_BYTES; written only by the decoder
    uint8_t *InputBuffer;         // IO_BUFFER_BYTES; filled by RefillInput
    const uint8_t *InputCursor;   // next unread byte (input buffer or blob)
    int32_t InputAvailable;       // bytes left at InputCursor; RefillInput sets it
    uint8_t *OutputBuffer;        // IO_BUFFER_BYTES; the chunk being filled
    uint8_t *OutputPointer;       // next free output byte
    uint32_t OutputFill;          // bytes in the current chunk, 0..IO_CHUNK_BYTES
    uint8_t MemoryOutput;         // 1 while a blob is decoded into memory
    uint8_t OutputOverrun;        // memory mode: output reached OutputLimit and was cut
    uint8_t *OutputLimit;         // memory mode: one past the destination's last byte
};

// What the decoder needs from the program around it. Defaults (set by
// ResetStreamHooks) use the C heap, deliver no input and discard output.
struct StreamHooks {
    // Reads the member's next chunk into InputBuffer, sets InputCursor to it
    // and InputAvailable to the count - 1 (the caller takes the first byte at
    // once). Returns the count, 0 when nothing could be had.
    int32_t (*RefillInput)();
    // Consumes the OutputFill bytes at OutputBuffer, then sets OutputPointer
    // to OutputBuffer and OutputFill to 0. File mode only.
    void (*WriteOutputBuffer)();
    // Zero-filled block for a code table, or null when memory is exhausted.
    void *(*AllocateTable)(uint32_t size_bytes);
    void (*ReleaseTable)(void *block);
    // Reports that table memory is exhausted and does not return (the stub
    // shows "not enough memory" and aborts the run). The default aborts.
    void (*TableMemoryExhausted)();
};

// The table-memory part of StreamHooks, as the program hands it over at
// set-up. The member I/O hooks (RefillInput, WriteOutputBuffer) belong to
// whoever reads members and are not part of it.
struct TableMemoryHooks {
    void *(*AllocateTable)(uint32_t size_bytes);  // see StreamHooks
    void (*ReleaseTable)(void *block);
    void (*TableMemoryExhausted)();                // must not return
};

extern StreamBuffers Stream;
extern StreamHooks StreamCalls;

// Clears every field of Stream: no buffers, no input, file mode.
void ResetStreamBuffers();

// Puts the default hooks back.
void ResetStreamHooks();

// Readies the decoder for the program's run: Stream.Window, InputBuffer and
// OutputBuffer become the given blocks (window of WINDOW_BYTES, the others of
// IO_BUFFER_BYTES each, all zero-filled), the three table-memory hooks of
// StreamCalls become table_hooks', and InputRemaining becomes -1: nothing read
// yet. The other fields of Stream and the member I/O hooks are left as they
// are. The blocks stay the caller's: DetachStreams gives them back.
void InitialiseStreams(const TableMemoryHooks &table_hooks, uint8_t *window, uint8_t *input_buffer,
                       uint8_t *output_buffer);

// Gives back the blocks InitialiseStreams took: Stream.Window, InputBuffer and
// OutputBuffer become null, nothing else changes (the hooks stay). The caller
// frees the blocks afterwards; no decode may run until the next
// InitialiseStreams.
void DetachStreams();

// The member I/O hooks, set by whoever reads members (the extraction run):
// refill reads a member's next chunk, write consumes a full output chunk (see
// StreamHooks). The table-memory hooks are left as they are.
void SetMemberIoHooks(int32_t (*refill)(), void (*write)());

// A member's data begins: InputRemaining = compressed_bytes and nothing is
// buffered, so the first byte comes from a refill. Called for every member,
// before its encryption header is read, so that whatever an earlier member
// left unread in the input buffer cannot leak into this one.
void BeginMemberInput(int32_t compressed_bytes);

// Takes the next stream byte into byte and returns 8 (bits delivered), or
// returns 0, leaves byte unchanged and sets Inflate.InputExhausted.
// Returns 0 at once once InputRemaining is 0 (or below). Otherwise, when the
// buffer is used up (InputAvailable <= 0), file mode asks RefillInput and
// fails if it delivers nothing; memory mode fails. On success InputCursor
// advances and InputAvailable and InputRemaining drop by one.
[[nodiscard]] uint32_t NextInputByte(uint8_t &byte);

// Takes up to max_bytes (> 0) of the stream at once into destination, as that
// many NextInputByte calls would (refilling once when the buffer is used
// up), but never more than the buffer holds: returns the count, 0 at the
// stream's end or when a refill delivers nothing (Inflate.InputExhausted is
// then set). For copying stored data.
[[nodiscard]] uint32_t TakeInputBytes(uint8_t *destination, uint32_t max_bytes);

// Moves the first count_bytes bytes of the window to OutputPointer as
// described above (count_bytes <= WINDOW_BYTES). In memory mode, output that
// would pass OutputLimit is cut at it, OutputOverrun and
// Inflate.InputExhausted are set (so the decoder stops at its next check), and
// every later flush of the stream writes nothing.
void FlushWindow(uint32_t count_bytes);

// The same for count_bytes bytes at next, from any buffer of the caller's
// (the LZMA decoder's dictionary).
void FlushBytes(const uint8_t *next, uint32_t count_bytes);
