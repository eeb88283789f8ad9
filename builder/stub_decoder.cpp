// The stub's decoder run natively (see stub_decoder.h). The hooks below play
// the parts of the stub's archive reader (refill with decryption) and output
// writer (CRC of every chunk), over memory instead of files.
#include "stub_decoder.h"

#include "archive/zip_records.h"
#include "ae_crypto.h"
#include "extract/aes/ae_format.h"
#include "extract/crc32.h"
#include "extract/crypt/zip_cipher.h"
#include "extract/inflate/stream_buffers.h"

#include <cstdlib>
#include <cstring>

namespace {

// The member being decoded, for the hooks.
struct Feed {
    const uint8_t *next;
    const uint8_t *end;
    bool encrypted;
    bool aes;
    uint64_t output_bytes;
    ProgressMeter *progress;
};
Feed feed;
AeCounterState aes_counter;

int32_t RefillFromMemory()
{
    const int64_t left_bytes = feed.end - feed.next;
    int64_t count = InputRemaining < int32_t(IO_CHUNK_BYTES) ? InputRemaining : int32_t(IO_CHUNK_BYTES);
    if (count > left_bytes)
        count = left_bytes;
    if (count <= 0) {
        Stream.InputAvailable = 0;
        return 0;
    }
    std::memcpy(Stream.InputBuffer, feed.next, size_t(count));
    if (feed.aes)
        (void)ApplyAeCounter(aes_counter, Stream.InputBuffer, size_t(count), AeEncryptBlocks);
    else if (feed.encrypted)
        DecryptBytes(Stream.InputBuffer, size_t(count));
    feed.next += count;
    Stream.InputCursor = Stream.InputBuffer;
    Stream.InputAvailable = int32_t(count) - 1;
    return int32_t(count);
}

void TakeOutput(const uint8_t *bytes, uint32_t count_bytes)
{
    UpdateCrc(bytes, count_bytes);
    feed.output_bytes += count_bytes;
    feed.progress->Advance(count_bytes);
}

void WriteChunk()
{
    TakeOutput(Stream.OutputBuffer, Stream.OutputFill);
    Stream.OutputPointer = Stream.OutputBuffer;
    Stream.OutputFill = 0;
}

void *AllocateTable(uint32_t size_bytes) { return std::calloc(1, size_bytes); }
void ReleaseTable(void *block) { std::free(block); }
[[noreturn]] void TablesExhausted() { std::abort(); }

}  // namespace

StubDecoder::StubDecoder() : window_(WINDOW_BYTES), input_(IO_BUFFER_BYTES), output_(IO_BUFFER_BYTES)
{
    BuildCrcTable();
    ResetStreamBuffers();
    ResetInflateState();
    InitialiseStreams(TableMemoryHooks{AllocateTable, ReleaseTable, TablesExhausted}, window_.data(),
                      input_.data(), output_.data());
    SetMemberIoHooks(RefillFromMemory, WriteChunk);
}

StubDecoder::~StubDecoder()
{
    ResetInflateState();
    ReleaseLzmaBuffers();
    DetachStreams();
    ResetStreamBuffers();
    ResetStreamHooks();
}

MemberCheck StubDecoder::Check(const MemberToDecode &member, const std::string &password, ProgressMeter &progress)
{
    MemberCheck check = {MemberOutcome::Sound, Rejection::None, LzmaRejection::None, 0, 0};
    const bool encrypted = member.flags & ZIP_FLAG_ENCRYPTED;
    if (member.method != ZIP_METHOD_STORED && member.method != ZIP_METHOD_DEFLATE &&
        member.method != ZIP_METHOD_DEFLATE64 && member.method != ZIP_METHOD_LZMA) {
        check.outcome = MemberOutcome::UnknownMethod;
        return check;
    }
    const bool aes = member.aes_strength != 0;
    feed = Feed{member.data, member.data + member.compressed_bytes, encrypted && !aes, aes, 0, &progress};
    uint32_t data_bytes = member.compressed_bytes;
    if (aes) {
        // As the stub: salt and verifier, the keys, then the code over the
        // encrypted data, checked before anything is decoded.
        const size_t key_bytes = AeKeyBytes(member.aes_strength), salt_bytes = AeSaltBytes(member.aes_strength);
        if (data_bytes < salt_bytes + AE_VERIFIER_BYTES + AE_CODE_BYTES) {
            check.outcome = MemberOutcome::ShortData;
            return check;
        }
        uint8_t keys[AE_DERIVED_MAX_BYTES];
        DeriveAeKeys(password, member.data, salt_bytes, keys, 2 * key_bytes + AE_VERIFIER_BYTES);
        if (std::memcmp(keys + 2 * key_bytes, member.data + salt_bytes, AE_VERIFIER_BYTES) != 0) {
            check.outcome = MemberOutcome::WrongPassword;
            return check;
        }
        data_bytes -= uint32_t(salt_bytes + AE_VERIFIER_BYTES + AE_CODE_BYTES);
        const uint8_t *encrypted_data = member.data + salt_bytes + AE_VERIFIER_BYTES;
        const std::array<uint8_t, 20> code = HmacSha1(keys + key_bytes, key_bytes, encrypted_data, data_bytes);
        if (std::memcmp(code.data(), encrypted_data + data_bytes, AE_CODE_BYTES) != 0) {
            check.outcome = MemberOutcome::BadAuthentication;
            return check;
        }
        SetAeKey(keys, key_bytes);
        ResetAeCounter(aes_counter);
        feed.next = encrypted_data;
        feed.end = encrypted_data + data_bytes;
    } else if (encrypted) {
        // As the stub's password check: the 12 header bytes decrypted, the
        // last compared with the byte the header's flags choose.
        if (data_bytes < ZIP_ENCRYPTION_HEADER_BYTES) {
            check.outcome = MemberOutcome::ShortData;
            return check;
        }
        uint8_t header[ZIP_ENCRYPTION_HEADER_BYTES];
        std::memcpy(header, member.data, sizeof header);
        InitKeys(password.c_str());
        DecryptBytes(header, sizeof header);
        const uint8_t expected = (member.flags & ZIP_FLAG_DESCRIPTOR) ? uint8_t(member.dos_time >> 8)
                                                                       : uint8_t(member.crc >> 24);
        if (header[ZIP_ENCRYPTION_HEADER_BYTES - 1] != expected) {
            check.outcome = MemberOutcome::WrongPassword;
            return check;
        }
        feed.next += ZIP_ENCRYPTION_HEADER_BYTES;
        data_bytes -= ZIP_ENCRYPTION_HEADER_BYTES;
    }

    BeginMemberInput(int32_t(data_bytes));
    Stream.OutputPointer = Stream.OutputBuffer;
    Stream.OutputFill = 0;
    RunningCrc = CRC32_INITIAL;
    if (member.method == ZIP_METHOD_STORED) {
        // The stub copies stored data chunk by chunk from the input path.
        while (InputRemaining > 0) {
            const uint32_t taken = TakeInputBytes(Stream.OutputBuffer, IO_CHUNK_BYTES);
            if (taken == 0)
                break;
            TakeOutput(Stream.OutputBuffer, taken);
        }
    } else if (member.method == ZIP_METHOD_LZMA) {
        const LzmaResult result =
            DecodeLzmaMember(member.uncompressed_bytes, (member.flags & ZIP_FLAG_LZMA_END_MARKER) ? 1 : 0);
        if (result != LzmaResult::Done) {
            check.outcome = result == LzmaResult::Refused ? MemberOutcome::RefusedHeader : MemberOutcome::Damaged;
            check.lzma_rejection = Lzma.Reason;
        }
        if (Stream.OutputFill)
            TakeOutput(Stream.OutputBuffer, Stream.OutputFill);
    } else {
        const InflateResult result = InflateStream(member.method == ZIP_METHOD_DEFLATE64 ? 1 : 0);
        if (result != InflateResult::Done) {
            check.outcome = MemberOutcome::Damaged;
            check.rejection = Inflate.Reason;
        }
        if (Stream.OutputFill)
            TakeOutput(Stream.OutputBuffer, Stream.OutputFill);
    }
    Stream.OutputFill = 0;
    check.output_bytes = feed.output_bytes;
    check.crc = ~RunningCrc;
    if (check.outcome == MemberOutcome::Sound && check.output_bytes != member.uncompressed_bytes)
        check.outcome = MemberOutcome::SizeMismatch;
    else if (check.outcome == MemberOutcome::Sound && check.crc != member.crc &&
             !(aes && member.aes_version == AE_VERSION_2))  // AE-2 stores no CRC
        check.outcome = MemberOutcome::CrcMismatch;
    return check;
}

BlobResult StubDecoder::DecodeHeader(const uint8_t *blob, size_t blob_bytes, size_t capacity_bytes,
                                     std::vector<uint8_t> &unpacked)
{
    unpacked.assign(capacity_bytes, 0);
    return DecodeBlob(blob, int32_t(blob_bytes), unpacked.data(), uint32_t(capacity_bytes));
}

const char *RejectionText(Rejection rejection)
{
    switch (rejection) {
    case Rejection::None: return "no reason given";
    case Rejection::InputExhausted: return "the data ends inside the stream";
    case Rejection::OutputOverrun: return "the output overruns its room";
    case Rejection::StoredLengthMismatch: return "a stored block's length does not match its complement";
    case Rejection::InvalidCode: return "a code with no symbol";
    case Rejection::CountsOverLimit: return "a block with too many codes";
    case Rejection::BadCodeLengths: return "invalid code lengths";
    case Rejection::IncompleteCode: return "an incomplete code";
    case Rejection::LengthsWithoutDistances: return "lengths without a distance code";
    case Rejection::ReservedBlockType: return "a block of the reserved type 3";
    case Rejection::OversubscribedCode: return "an over-subscribed code";
    }
    return "unknown reason";
}

const char *LzmaRejectionText(LzmaRejection rejection)
{
    switch (rejection) {
    case LzmaRejection::None: return "no reason given";
    case LzmaRejection::InputExhausted: return "the data ends inside the LZMA stream";
    case LzmaRejection::BadRangeCoderStart: return "an LZMA stream that does not start as one";
    case LzmaRejection::BadDistance: return "a match reaching before the first byte or past the dictionary";
    case LzmaRejection::EarlyEndMarker: return "the end marker before the member's size";
    case LzmaRejection::MatchPastEnd: return "a match running past the member's size";
    case LzmaRejection::MissingEndMarker: return "general-purpose bit 1 is set, but no end marker follows the last byte";
    case LzmaRejection::UnfinishedRangeCoder: return "the range coder does not end cleanly";
    case LzmaRejection::BadPropertiesSize: return "an LZMA properties size other than 5";
    case LzmaRejection::PropertiesOutOfRange: return "LZMA properties (lc/lp/pb) out of range";
    case LzmaRejection::DictionaryOverLimit: return "a dictionary over the installer's limit of 64 MiB";
    }
    return "unknown reason";
}

const char *DamageText(const MemberCheck &check, uint16_t method)
{
    return method == ZIP_METHOD_LZMA ? LzmaRejectionText(check.lzma_rejection) : RejectionText(check.rejection);
}
