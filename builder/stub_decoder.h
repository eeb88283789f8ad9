// The stub's own decoder, CRC and cipher (src/extract), run natively on the
// bytes of an installer, so that "tvsfx verify" proves a member sound with
// the very code that will extract it: stored data copied through the
// decoder's input path, deflate and Deflate64 through InflateStream, LZMA
// through DecodeLzmaMember, each chunk decrypted on its way in when the
// member is encrypted (an AES member's with the stub's AE counter mode, its
// authentication code checked), every output chunk folded into the CRC.
//
// The decoder keeps its state in globals (one stream per process), so there
// is at most one StubDecoder at a time; it owns the window and I/O buffers
// and puts the decoder's defaults back when it goes.
#pragma once

#include "extract/inflate/inflate.h"
#include "extract/lzma/lzma_decoder.h"
#include "progress_meter.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the member's local header says, as far as decoding needs it.
struct MemberToDecode {
    const uint8_t *data;        // the compressed data, encryption header included
    uint32_t compressed_bytes;
    uint32_t uncompressed_bytes;
    uint32_t crc;
    uint16_t method;
    uint16_t flags;
    uint16_t dos_time;
    uint8_t aes_strength = 0;   // an AES member (method 99): 1..3, method then the real one
    uint16_t aes_version = 0;   // AE-1 or AE-2
};

enum class MemberOutcome {
    Sound,
    UnknownMethod,   // not stored, deflate, Deflate64 or LZMA: the stub cannot extract it
    RefusedHeader,   // an LZMA header the stub refuses (lzma_rejection says why)
    ShortData,       // shorter than its encryption header
    WrongPassword,   // the check byte of the encryption header (or the AES verifier) differs
    BadAuthentication,  // an AES member's authentication code does not match its data
    Damaged,         // the decoder stopped short (DamageText says why)
    SizeMismatch,    // decoded to another size than the header's
    CrcMismatch,     // decoded to the right size with another CRC
};

struct MemberCheck {
    MemberOutcome outcome;
    Rejection rejection;      // for Damaged deflate data
    LzmaRejection lzma_rejection;  // for Damaged LZMA data and RefusedHeader
    uint64_t output_bytes;    // decoded
    uint32_t crc;             // of what was decoded
};

class StubDecoder {
public:
    StubDecoder();
    ~StubDecoder();
    StubDecoder(const StubDecoder &) = delete;
    StubDecoder &operator=(const StubDecoder &) = delete;

    // Decodes a member and compares it with its header; password (code page
    // bytes) decrypts an encrypted one. progress advances by the bytes
    // decoded.
    MemberCheck Check(const MemberToDecode &member, const std::string &password, ProgressMeter &progress);

    // Decodes a deflate blob (the SfxHeader) in memory mode, as the stub does,
    // into at most capacity_bytes.
    BlobResult DecodeHeader(const uint8_t *blob, size_t blob_bytes, size_t capacity_bytes,
                            std::vector<uint8_t> &unpacked);

private:
    std::vector<uint8_t> window_, input_, output_;
};

// The decoder's reason as words, for a fault line.
const char *RejectionText(Rejection rejection);
const char *LzmaRejectionText(LzmaRejection rejection);
// The reason of a Damaged or RefusedHeader check, whichever decoder gave it.
const char *DamageText(const MemberCheck &check, uint16_t method);
