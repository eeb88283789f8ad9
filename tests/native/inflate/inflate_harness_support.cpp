// Memory-backed input and output for the decoder; see inflate_harness.h.
#include "inflate_harness.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>

namespace {

// The member being fed, and what the hooks saw.
const uint8_t *source_next;
const uint8_t *source_end;
uint32_t refill_limit_bytes = IO_CHUNK_BYTES;
std::vector<uint8_t> *collected;
uint32_t chunk_writes;
uint32_t odd_chunk_writes;
int32_t live_tables;
uint32_t refill_calls;
int32_t allocations_until_failure = -1;

// As the archive reader: clear the chunk, read at most 0x7000 bytes of what
// remains of the member, count the first byte as taken.
int32_t RefillFromMemory()
{
    refill_calls++;
    std::memset(Stream.InputBuffer, 0, refill_limit_bytes < IO_CHUNK_BYTES ? refill_limit_bytes : IO_CHUNK_BYTES);
    int32_t want_bytes = InputRemaining < int32_t(refill_limit_bytes) ? InputRemaining
                                                                       : int32_t(refill_limit_bytes);
    int32_t have_bytes = int32_t(source_end - source_next);
    int32_t count_bytes = want_bytes < have_bytes ? want_bytes : have_bytes;
    if (count_bytes <= 0) {
        Stream.InputAvailable = 0;
        return 0;
    }
    std::memcpy(Stream.InputBuffer, source_next, size_t(count_bytes));
    source_next += count_bytes;
    Stream.InputCursor = Stream.InputBuffer;
    Stream.InputAvailable = count_bytes - 1;
    return count_bytes;
}

void CollectChunk()
{
    chunk_writes++;
    if (Stream.OutputFill != IO_CHUNK_BYTES)
        odd_chunk_writes++;
    if (collected)
        collected->insert(collected->end(), Stream.OutputBuffer, Stream.OutputBuffer + Stream.OutputFill);
    Stream.OutputPointer = Stream.OutputBuffer;
    Stream.OutputFill = 0;
}

void *CountedAllocate(uint32_t size_bytes)
{
    if (allocations_until_failure == 0) {
        allocations_until_failure = -1;
        return nullptr;
    }
    if (allocations_until_failure > 0)
        allocations_until_failure--;
    live_tables++;
    return std::calloc(1, size_bytes);
}

void CountedRelease(void *block)
{
    live_tables--;
    std::free(block);
}

}  // namespace

DecoderHarness::DecoderHarness()
{
    ResetStreamBuffers();
    ResetInflateState();
    // Exact sizes, zero-filled like the program's allocations. Allocated
    // once and cleared for each harness: the fuzzer makes thousands a second.
    static uint8_t *const window = static_cast<uint8_t *>(std::malloc(WINDOW_BYTES));
    static uint8_t *const input = static_cast<uint8_t *>(std::malloc(IO_BUFFER_BYTES));
    static uint8_t *const output = static_cast<uint8_t *>(std::malloc(IO_BUFFER_BYTES));
    std::memset(window, 0, WINDOW_BYTES);
    std::memset(input, 0, IO_BUFFER_BYTES);
    std::memset(output, 0, IO_BUFFER_BYTES);
    Stream.Window = window;
    Stream.InputBuffer = input;
    Stream.OutputBuffer = output;
    StreamCalls.RefillInput = RefillFromMemory;
    StreamCalls.WriteOutputBuffer = CollectChunk;
    StreamCalls.AllocateTable = CountedAllocate;
    StreamCalls.ReleaseTable = CountedRelease;
    live_tables = 0;
    refill_calls = 0;
    allocations_until_failure = -1;
}

DecoderHarness::~DecoderHarness()
{
    ResetInflateState();
    ReleaseLzmaBuffers();
    ResetStreamBuffers();
    ResetStreamHooks();
}

MemberRun DecoderHarness::DecodeMember(const uint8_t *data, size_t data_bytes, uint8_t deflate64,
                                       int32_t compressed_bytes, uint32_t refill_bytes)
{
    MemberRun run{};
    FeedFrom(data, data_bytes, refill_bytes);
    collected = &run.output;
    chunk_writes = 0;
    odd_chunk_writes = 0;
    BeginMemberInput(compressed_bytes < 0 ? int32_t(data_bytes) : compressed_bytes);
    Stream.OutputPointer = Stream.OutputBuffer;
    Stream.OutputFill = 0;
    run.result = InflateStream(deflate64);
    run.rejection = Inflate.Reason;
    run.input_remaining_after = InputRemaining;
    // The extractor writes the last partial chunk itself.
    run.output.insert(run.output.end(), Stream.OutputBuffer, Stream.OutputBuffer + Stream.OutputFill);
    run.chunk_writes = chunk_writes;
    run.odd_chunk_writes = odd_chunk_writes;
    collected = nullptr;
    return run;
}

LzmaMemberRun DecoderHarness::DecodeLzma(const uint8_t *data, size_t data_bytes, uint32_t uncompressed_bytes,
                                         uint8_t end_marker, int32_t compressed_bytes, uint32_t refill_bytes)
{
    LzmaMemberRun run{};
    FeedFrom(data, data_bytes, refill_bytes);
    collected = &run.output;
    chunk_writes = 0;
    odd_chunk_writes = 0;
    BeginMemberInput(compressed_bytes < 0 ? int32_t(data_bytes) : compressed_bytes);
    Stream.OutputPointer = Stream.OutputBuffer;
    Stream.OutputFill = 0;
    run.result = DecodeLzmaMember(uncompressed_bytes, end_marker);
    run.rejection = Lzma.Reason;
    run.input_remaining_after = InputRemaining;
    run.output.insert(run.output.end(), Stream.OutputBuffer, Stream.OutputBuffer + Stream.OutputFill);
    run.chunk_writes = chunk_writes;
    run.odd_chunk_writes = odd_chunk_writes;
    collected = nullptr;
    return run;
}

void DecoderHarness::FeedFrom(const uint8_t *data, size_t data_bytes, uint32_t refill_bytes)
{
    source_next = data;
    source_end = data + data_bytes;
    refill_limit_bytes = refill_bytes;
}

BlobRun DecoderHarness::DecodeBlobOf(const uint8_t *blob, size_t blob_bytes, uint32_t capacity_bytes)
{
    constexpr uint8_t GUARD_FIRST = 0xDE;
    constexpr uint8_t GUARD_SECOND = 0xAD;
    // The blob in a block of its own exact size, so reading past it is caught.
    uint8_t *input = static_cast<uint8_t *>(std::malloc(blob_bytes ? blob_bytes : 1));
    if (blob_bytes)
        std::memcpy(input, blob, blob_bytes);
    uint8_t *destination = static_cast<uint8_t *>(std::calloc(1, size_t(capacity_bytes) + 2));
    destination[capacity_bytes] = GUARD_FIRST;
    destination[capacity_bytes + 1] = GUARD_SECOND;
    chunk_writes = 0;
    uint32_t refills_before = refill_calls;
    BlobRun run{};
    run.result = DecodeBlob(input, int32_t(blob_bytes), destination, capacity_bytes);
    run.output.assign(destination, destination + capacity_bytes);
    run.guards_intact = destination[capacity_bytes] == GUARD_FIRST && destination[capacity_bytes + 1] == GUARD_SECOND;
    run.memory_mode_kept = Stream.MemoryOutput == 0 && Stream.InputCursor == nullptr &&
                           Stream.OutputPointer == nullptr && chunk_writes == 0 && refill_calls == refills_before;
    std::free(destination);
    std::free(input);
    return run;
}

uint32_t DecoderHarness::RefillCalls()
{
    return refill_calls;
}

int32_t DecoderHarness::LiveTables()
{
    return live_tables;
}

void DecoderHarness::FailAllocation(int32_t allocation_number)
{
    allocations_until_failure = allocation_number;
}

std::vector<uint8_t> ZlibRawDeflate(const std::vector<uint8_t> &data, int level, int strategy, int memory_level)
{
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, memory_level, strategy) != Z_OK)
        return {};
    std::vector<uint8_t> out(deflateBound(&z, uLong(data.size())) + 16);
    z.next_in = const_cast<Bytef *>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return status == Z_STREAM_END ? out : std::vector<uint8_t>{};
}

bool ZlibRawInflate(const std::vector<uint8_t> &compressed, size_t expected_bytes, std::vector<uint8_t> &output)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    output.assign(expected_bytes, 0);
    z.next_in = const_cast<Bytef *>(compressed.data());
    z.avail_in = uInt(compressed.size());
    z.next_out = output.data();
    z.avail_out = uInt(output.size());
    int status = inflate(&z, Z_FINISH);
    output.resize(z.total_out);
    inflateEnd(&z);
    return status == Z_STREAM_END;
}

const char *SampleName(SampleKind kind)
{
    switch (kind) {
    case SampleKind::Text: return "text";
    case SampleKind::Binary: return "binary";
    case SampleKind::Repetitive: return "repetitive";
    case SampleKind::Random: return "random";
    }
    return "?";
}

std::vector<uint8_t> MakeSample(SampleKind kind, size_t size_bytes, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> data;
    data.reserve(size_bytes);
    static const char *const words[] = {"the ", "decoder ", "window ", "of ", "a ", "member ", "and ",
                                        "stream ", "block ", "table ", "\n", "code, ", "byte. ", "length "};
    switch (kind) {
    case SampleKind::Text:
        while (data.size() < size_bytes) {
            const char *word = words[random() % (sizeof words / sizeof *words)];
            data.insert(data.end(), word, word + std::strlen(word));
        }
        break;
    case SampleKind::Binary:
        // Records of small integers and pointers-like words: skewed bytes.
        while (data.size() < size_bytes) {
            uint32_t value = random() % 4096;
            uint32_t word = 0x00400000u + (random() % 64) * 16;
            for (int i = 0; i < 4; i++)
                data.push_back(uint8_t(value >> (8 * i)));
            for (int i = 0; i < 4; i++)
                data.push_back(uint8_t(word >> (8 * i)));
        }
        break;
    case SampleKind::Repetitive:
        // Long runs and a few long-distance repeats of a random block.
        while (data.size() < size_bytes) {
            switch (random() % 3) {
            case 0: data.insert(data.end(), 1 + random() % 600, uint8_t(random())); break;
            case 1: {
                size_t pattern_bytes = 1 + random() % 7;
                for (size_t i = 0; i < 300; i++)
                    data.push_back(uint8_t('a' + (i % pattern_bytes)));
                break;
            }
            default:
                if (data.size() > 1000) {
                    size_t from = random() % (data.size() - 500);
                    for (size_t i = 0; i < 500; i++)
                        data.push_back(data[from + i]);
                }
            }
        }
        break;
    case SampleKind::Random:
        while (data.size() < size_bytes)
            data.push_back(uint8_t(random()));
        break;
    }
    data.resize(size_bytes);
    return data;
}

static uint32_t ReadLittle(const std::vector<uint8_t> &bytes, size_t at, int width)
{
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; i--)
        value = (value << 8) | bytes[at + size_t(i)];
    return value;
}

std::vector<uint8_t> SevenZipRawMember(const std::vector<uint8_t> &data, const char *method, bool *has_7z,
                                       uint16_t *flags)
{
    *has_7z = std::system("command -v 7z >/dev/null 2>&1") == 0;
    if (!*has_7z)
        return {};
    char folder[] = "/tmp/talvok-inflate-XXXXXX";
    if (!mkdtemp(folder))
        return {};
    std::string input = std::string(folder) + "/member.bin";
    std::string archive = std::string(folder) + "/member.zip";
    FILE *file = std::fopen(input.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), file);
    std::fclose(file);
    std::string command = std::string("7z a -tzip -mm=") + method + " -mx=9 '" + archive + "' '" + input +
                          "' >/dev/null 2>&1";
    std::vector<uint8_t> zip;
    if (std::system(command.c_str()) == 0 && (file = std::fopen(archive.c_str(), "rb"))) {
        uint8_t buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            zip.insert(zip.end(), buffer, buffer + got);
        std::fclose(file);
    }
    std::remove(input.c_str());
    std::remove(archive.c_str());
    rmdir(folder);
    // Local header: signature, ..., method at 8, compressed size at 18,
    // name length at 26, extra length at 28, data after 30 + both.
    uint32_t wanted_method = std::strcmp(method, "Deflate64") == 0 ? 9 : std::strcmp(method, "LZMA") == 0 ? 14 : 8;
    if (zip.size() < 30 || ReadLittle(zip, 0, 4) != 0x04034B50u || ReadLittle(zip, 8, 2) != wanted_method)
        return {};
    if (flags)
        *flags = uint16_t(ReadLittle(zip, 6, 2));
    uint32_t compressed_bytes = ReadLittle(zip, 18, 4);
    size_t data_at = 30 + ReadLittle(zip, 26, 2) + ReadLittle(zip, 28, 2);
    if (data_at + compressed_bytes > zip.size())
        return {};
    return std::vector<uint8_t>(zip.begin() + long(data_at), zip.begin() + long(data_at + compressed_bytes));
}
