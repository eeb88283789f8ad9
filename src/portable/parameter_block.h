// Layout of the ParameterBlock: the 60-byte record in the stub's initialised
// data that the archive builder patches after the stub is built. The stub
// reads it as data; the builder finds it in the file by its marker, which
// must occur exactly once in the stub's bytes. Little-endian throughout;
// offsets count from the marker's first byte. A zero offset or CRC means
// "absent" and switches the matching start-up step off.
//
// Portable: shared by the stub and the builder, never copied.
#pragma once

#include <cstddef>
#include <cstdint>

#include "portable/byte_order.h"

constexpr size_t PARAMETER_BLOCK_BYTES = 60;
constexpr size_t PARAMETER_MARKER_BYTES = 8;
// "KDX\x01sfx\x02". Kept as single bytes here so that no string literal of
// the whole marker lands in the stub's read-only data: the stub compares
// against the copy inside its own block, the only one in the file.
#define PARAMETER_MARKER_INIT 'K', 'D', 'X', 0x01, 's', 'f', 'x', 0x02

// Field offsets within the block.
constexpr size_t PB_MARKER = 0;             // 8 bytes
constexpr size_t PB_CRC = 8;                // CRC-32 of the covered region, this field zeroed
constexpr size_t PB_FIRST_LOCAL_HEADER = 12;// absolute offset of the first local header
constexpr size_t PB_HEADER = 16;            // absolute offset of the compressed SfxHeader
constexpr size_t PB_END_RECORD = 20;        // absolute offset of the end-of-central-directory record
constexpr size_t PB_TOTAL_SIZE = 24;        // sum of the members' uncompressed sizes
constexpr size_t PB_FLAGS = 28;             // option bits, below
constexpr size_t PB_WAIT_NAME = 32;         // NUL-terminated base name, no ".exe"
constexpr size_t PB_WAIT_NAME_BYTES = 10;
constexpr size_t PB_COMPLETION = 42;        // 16 bits; 0 = never completed by the builder
constexpr size_t PB_ENTRY_POINT = 54;       // expected AddressOfEntryPoint (not 4-aligned)
static_assert(PB_WAIT_NAME + PB_WAIT_NAME_BYTES == PB_COMPLETION, "wait name ends at the completion word");
static_assert(PB_ENTRY_POINT + 4 + 2 == PARAMETER_BLOCK_BYTES, "entry point, then 2 reserved bytes");

// Bytes of a PE image's signature, file header and optional header: with
// FLAG_SIGN_FRIENDLY the covered region starts this far past e_lfanew. The
// 32-bit stub is a PE32 image, the 64-bit one a PE32+ image, whose optional
// header is 16 bytes longer (64-bit ImageBase and stack and heap sizes).
constexpr uint32_t PE32_NT_HEADERS_BYTES = 248;
constexpr uint32_t PE32PLUS_NT_HEADERS_BYTES = 264;
constexpr size_t DOS_E_LFANEW = 60;        // offset of e_lfanew in the DOS header
constexpr size_t PE_MACHINE = 4;           // Machine within the NT headers
constexpr size_t PE_ENTRY_POINT = 40;      // AddressOfEntryPoint within the NT headers (both forms)
constexpr uint16_t PE_MACHINE_I386 = 0x014C;
constexpr uint16_t PE_MACHINE_AMD64 = 0x8664;

// Option bits of the flags word.
constexpr uint32_t FLAG_WAIT_FOR_NAMED = 1u << 2;    // also wait for the wait-name program
constexpr uint32_t FLAG_HAS_TITLE = 1u << 4;         // header field 6 carries a title
constexpr uint32_t FLAG_WAIT = 1u << 6;              // initial WaitFlag
constexpr uint32_t FLAG_ENCRYPTED = 1u << 8;         // ask for the password before extracting
constexpr uint32_t FLAG_AUTO = 1u << 9;              // initial AutoFlag
constexpr uint32_t FLAG_SIGN_FRIENDLY = 1u << 11;    // self-check skips up to the NT headers' end
constexpr uint32_t FLAG_SPANNED = 1u << 12;          // archive on several removable disks
constexpr uint32_t FLAG_INFO_BUTTON = 1u << 13;      // button 112 reads "&Info..."
constexpr uint32_t FLAG_EXE_VOLUMES = 1u << 15;      // later disks hold NAME.EXE, not NAME.ZIP
constexpr uint32_t FLAG_SHELL_INSTALL = 3u << 16;    // both bits: start via the shell verb "Install"
constexpr uint32_t FLAG_TITLE_CAPTION = 1u << 18;    // dialog caption is Title
constexpr uint32_t FLAG_INTRO_TWO_BUTTONS = 1u << 19;
constexpr uint32_t FLAG_INTRO_OK_CANCEL = 1u << 20;  // with bit 19: OK/Cancel, else Yes/No
constexpr uint32_t FLAG_ARGV0 = 1u << 21;            // append " -argv0 " and own path
constexpr uint32_t FLAG_UNATTENDED = 1u << 22;       // hidden, automatic, no intro
constexpr uint32_t FLAG_EXIT_CODES = 1u << 24;       // exit with the command's code, or with one of ours
constexpr uint32_t FLAG_NO_ERROR_BOXES = 1u << 25;   // with bit 22: messages go to a log, not to boxes
constexpr uint32_t FLAG_WAIT_ALL = 1u << 26;         // wait for every process of the command's job

// What flags bit 21 puts between the parameters and the program's own path.
constexpr char ARGV0_SWITCH[] = " -argv0 ";
