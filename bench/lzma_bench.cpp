// LZMA decoder benchmark (a program, not a test): our decoder against
// liblzma's raw LZMA1 decoder on the corpus that make_corpus.py builds.
//
//   lzma_bench CORPUS_DIR [REPETITIONS [STREAMS_FILE]]
//
// Each class file (text, binary, compressed) is cut into 1 MiB members, each
// compressed once by liblzma at the builder's preset (raw LZMA1, no end
// marker, the zip method 14 header in front), as `tvsfx build --method lzma`
// writes them. With STREAMS_FILE the compressed members are read from it when
// it holds this corpus's at this preset, and written to it otherwise: the
// Windows build under Wine then decodes the streams the native run made.
// Every decoder decodes every member REPETITIONS times; a class's time is its
// best repetition. Every output is checked against the original once, so a
// wrong decoder cannot post a figure. The decoders take turns repetition by
// repetition, so that a busy machine slows both alike.
//
// Ours runs as the extractor runs it: input handed over 0x7000 bytes at a
// time by RefillInput, output through the dictionary into 0x7000-byte chunks
// handed to WriteOutputBuffer (copied out in the checked pass, left in place
// in the timed ones, as the stub hands them to the file write). liblzma gets
// the whole member and the whole destination at once, its best case.
//
// The same source builds natively and for Windows (with liblzma built for
// MinGW from Debian's source, scripts/mingw-liblzma.sh), so that the stub's
// decoder is also measured as the stub's compiler and flags make it.
//
// Times are CPU times (best of REPETITIONS; under Wine each repetition spans
// at least MIN_TIMED_SECONDS). Prints MB/s of output (10^6
// bytes) per class and decoder; the last line is
// "lzma vs liblzma: X.XXx" (our speed over liblzma's, over the whole corpus).
#include <lzma.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "extract/inflate/stream_buffers.h"
#include "extract/lzma/lzma_decoder.h"
#include "lzma_streams.h"
#include "member_in_memory.h"
#include "read_file.h"

namespace {

constexpr size_t MEMBER_BYTES = 1 << 20;
#ifndef LZMA_BENCH_PRESET
#define LZMA_BENCH_PRESET (9 | LZMA_PRESET_EXTREME)  // the builder's
#endif
constexpr uint32_t BUILDER_PRESET = LZMA_BENCH_PRESET;
constexpr size_t ZIP_HEADER_BYTES = 9;
// The least CPU time one timed repetition spans. Wine advances a process's
// times in 20 ms steps (see CpuSeconds), a step in a pass over the text
// class of some 300 ms: there a repetition decodes its class as often as a
// second takes and counts the time of one pass. The native clock is fine
// enough for a single pass.
#ifdef _WIN32
constexpr double MIN_TIMED_SECONDS = 1.0;
#else
constexpr double MIN_TIMED_SECONDS = 0.0;
#endif

using Member = LzmaBenchMember;

struct CorpusClass {
    const char *name;
    std::vector<Member> members;
    size_t original_bytes = 0;
};

bool DecodeOurs(const Member &member, uint8_t *destination, size_t *written_bytes)
{
    BeginMemberInMemory(member.compressed, destination);
    LzmaResult result = DecodeLzmaMember(uint32_t(member.original.size()), 0);
    *written_bytes = FinishMemberInMemory();
    return result == LzmaResult::Done;
}

bool DecodeLiblzma(const Member &member, uint8_t *destination, size_t *written_bytes)
{
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, member.compressed.data() + 4, 5) != LZMA_OK)
        return false;
    auto *options = static_cast<lzma_options_lzma *>(filters[0].options);
    options->ext_flags = 0;
    lzma_set_ext_size(*options, member.original.size());
    lzma_stream stream = LZMA_STREAM_INIT;
    bool ready = lzma_raw_decoder(&stream, filters) == LZMA_OK;
    std::free(options);
    if (!ready)
        return false;
    stream.next_in = member.compressed.data() + ZIP_HEADER_BYTES;
    stream.avail_in = member.compressed.size() - ZIP_HEADER_BYTES;
    stream.next_out = destination;
    stream.avail_out = MEMBER_BYTES;
    lzma_ret status = lzma_code(&stream, LZMA_FINISH);
    *written_bytes = stream.total_out;
    lzma_end(&stream);
    return status == LZMA_STREAM_END;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t> &data)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, BUILDER_PRESET);
    // As the builder: a dictionary no larger than the member.
    if (options.dict_size > data.size())
        options.dict_size = data.size() < LZMA_DICTIONARY_MIN_BYTES ? LZMA_DICTIONARY_MIN_BYTES : uint32_t(data.size());
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_encoder(&stream, filters) != LZMA_OK)
        return {};
    std::vector<uint8_t> out(ZIP_HEADER_BYTES + data.size() + data.size() / 4 + 4096);
    const uint8_t header[ZIP_HEADER_BYTES] = {
        9, 20, 5, 0, uint8_t((options.pb * 5 + options.lp) * 9 + options.lc), uint8_t(options.dict_size),
        uint8_t(options.dict_size >> 8), uint8_t(options.dict_size >> 16), uint8_t(options.dict_size >> 24)};
    std::memcpy(out.data(), header, sizeof header);
    stream.next_in = data.data();
    stream.avail_in = data.size();
    stream.next_out = out.data() + ZIP_HEADER_BYTES;
    stream.avail_out = out.size() - ZIP_HEADER_BYTES;
    const bool ended = lzma_code(&stream, LZMA_FINISH) == LZMA_STREAM_END;
    out.resize(ended ? ZIP_HEADER_BYTES + stream.total_out : 0);
    lzma_end(&stream);
    return out;
}

// The process's CPU time: on a busy machine the wall time grows with the
// load, the CPU time of a single-threaded decoder much less.
double CpuSeconds()
{
#ifdef _WIN32
    // Kernel and user time in 100 ns units, which Wine (8.0) advances in
    // steps of 20 ms (hence MIN_TIMED_SECONDS). QueryThreadCycleTime would be
    // finer, but Wine answers it with no count of cycles at all.
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME &time) {
        return double(uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) * 1e-7;
#else
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
#endif
}

struct Decoder {
    const char *name;
    bool (*decode)(const Member &, uint8_t *, size_t *);
};

void *AllocateZeroed(uint32_t size_bytes) { return std::calloc(1, size_bytes); }
void Release(void *block) { std::free(block); }
void Exhausted() { std::abort(); }

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: lzma_bench CORPUS_DIR [REPETITIONS [STREAMS_FILE]]\n");
        return 2;
    }
    const std::string corpus_dir = argv[1];
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    const char *streams_path = argc > 3 ? argv[3] : nullptr;

    std::vector<CorpusClass> classes = {{"text", {}}, {"binary", {}}, {"compressed", {}}};
    for (CorpusClass &corpus_class : classes) {
        std::vector<uint8_t> data;
        const std::string path = corpus_dir + "/" + corpus_class.name + ".bin";
        if (!ReadFile(path, data) || data.empty()) {
            std::fprintf(stderr, "cannot read %s (run make_corpus.py first)\n", path.c_str());
            return 2;
        }
        for (size_t at = 0; at < data.size(); at += MEMBER_BYTES) {
            Member member;
            member.original.assign(data.begin() + long(at),
                                   data.begin() + long(at + MEMBER_BYTES < data.size() ? at + MEMBER_BYTES : data.size()));
            corpus_class.original_bytes += member.original.size();
            corpus_class.members.push_back(std::move(member));
        }
    }
    std::vector<Member *> members;
    for (CorpusClass &corpus_class : classes)
        for (Member &member : corpus_class.members)
            members.push_back(&member);
    if (streams_path && ReadLzmaStreams(streams_path, BUILDER_PRESET, members)) {
        std::printf("%u members, their streams read from %s\n", unsigned(members.size()), streams_path);
    } else {
        for (Member *member : members)
            member->compressed = Compress(member->original);
        if (streams_path && !WriteLzmaStreams(streams_path, BUILDER_PRESET, members)) {
            std::fprintf(stderr, "cannot write %s\n", streams_path);
            return 2;
        }
        std::printf("%u members, compressed here%s%s\n", unsigned(members.size()), streams_path ? ", written to " : "",
                    streams_path ? streams_path : "");
    }

    std::vector<uint8_t> window(WINDOW_BYTES), input(IO_BUFFER_BYTES), output(IO_BUFFER_BYTES);
    InitialiseStreams(TableMemoryHooks{AllocateZeroed, Release, Exhausted}, window.data(), input.data(),
                      output.data());
    SetMemberIoHooks(RefillFromMember, WriteChunk);
    const Decoder decoders[] = {{"lzma", DecodeOurs}, {"liblzma", DecodeLiblzma}};
    std::vector<uint8_t> destination(MEMBER_BYTES);
    // Every output checked once; then the timed passes, the two decoders
    // taking turns so that a busy machine slows both alike.
    double seconds[2][3];
    for (size_t c = 0; c < classes.size(); c++) {
        CopyChunks = true;
        for (size_t d = 0; d < 2; d++) {
            for (const Member &member : classes[c].members) {
                size_t written = 0;
                if (!decoders[d].decode(member, destination.data(), &written) || written != member.original.size() ||
                    std::memcmp(destination.data(), member.original.data(), written) != 0) {
                    std::fprintf(stderr, "%s decoded a %s member wrongly\n", decoders[d].name, classes[c].name);
                    return 1;
                }
            }
            seconds[d][c] = 1e30;
        }
        CopyChunks = false;
        for (int r = 0; r < repetitions; r++) {
            for (size_t d = 0; d < 2; d++) {
                const double start = CpuSeconds();
                int passes = 0;
                double elapsed;
                do {
                    for (const Member &member : classes[c].members) {
                        size_t written = 0;
                        decoders[d].decode(member, destination.data(), &written);
                    }
                    passes++;
                    elapsed = CpuSeconds() - start;
                } while (elapsed < MIN_TIMED_SECONDS);
                elapsed /= passes;
                if (elapsed < seconds[d][c])
                    seconds[d][c] = elapsed;
            }
        }
    }
    double total_seconds[2] = {0, 0};
    size_t total_bytes = 0;
    std::printf("%-12s %12s %12s %8s\n", "class", "lzma MB/s", "liblzma MB/s", "ratio");
    for (size_t c = 0; c < classes.size(); c++) {
        const double ours = classes[c].original_bytes / seconds[0][c] / 1e6;
        const double theirs = classes[c].original_bytes / seconds[1][c] / 1e6;
        std::printf("%-12s %12.1f %12.1f %7.2fx\n", classes[c].name, ours, theirs, ours / theirs);
        total_seconds[0] += seconds[0][c];
        total_seconds[1] += seconds[1][c];
        total_bytes += classes[c].original_bytes;
    }
    (void)total_bytes;
    std::printf("lzma vs liblzma: %.2fx\n", total_seconds[1] / total_seconds[0]);
    return 0;
}
