// Decoder benchmark (a program, not a test): our decoder against zlib's raw
// inflate and, where it is available, libdeflate, on the corpus that
// make_corpus.py builds.
//
//   inflate_bench CORPUS_DIR [REPETITIONS]
//
// Each class file (text, binary, compressed) is cut into 1 MiB members, and
// each member is compressed once by zlib (level 6, raw deflate), as a zip
// builder would. Then every decoder decodes every member REPETITIONS times,
// the decoders in turn; a class's time is the sum of its members' best
// repetitions. Every output is checked against the original once, so a
// wrong decoder cannot post a figure.
//
// Our decoder is compiled as talvok_portable is built in this tree (in the
// Windows trees with the stub's flags) and runs as the extractor runs it:
// input handed over 0x7000 bytes at
// a time by RefillInput (here pointing into the member, where the
// archive reader would have read the chunk), output through the window into the
// 0x7000-byte output chunks, each handed to WriteOutputBuffer. In the checked
// pass WriteOutputBuffer copies each chunk into the destination; in the timed
// passes it takes the chunk where the decoder left it (as the stub hands it
// to the file write), just as zlib and libdeflate leave their output in the
// buffer they are given. They get the whole member and the whole destination
// at once, their best case.
//
// Prints MB/s of output (10^6 bytes) per class and decoder, and the ratios;
// the last line is "inflate vs zlib: X.XXx", over the whole corpus.
//
// Before it, the CRC-32 that the extractor folds every output chunk into:
// UpdateCrc (as talvok_portable is built in this tree: the stub's flags in
// the Windows one) against zlib's crc32, over the whole corpus in the
// extractor's 0x7000-byte chunks, best of REPETITIONS.
#include <zlib.h>
#ifdef TALVOK_BENCH_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "extract/crc32.h"
#include "extract/inflate/inflate.h"
#include "extract/inflate/stream_buffers.h"
#include "member_in_memory.h"
#include "read_file.h"

namespace {

constexpr size_t MEMBER_BYTES = 1 << 20;

struct Member {
    std::vector<uint8_t> original;
    std::vector<uint8_t> compressed;
};

struct CorpusClass {
    const char *name;
    std::vector<Member> members;
    size_t original_bytes = 0;
};

// ---- our decoder, driven as the extractor drives it

bool DecodeOurs(const Member &member, uint8_t *destination, size_t *written_bytes)
{
    BeginMemberInMemory(member.compressed, destination);
    InflateResult result = InflateStream(0);
    *written_bytes = FinishMemberInMemory();
    return result == InflateResult::Done;
}

// ---- the references

z_stream zlib_stream;

bool DecodeZlib(const Member &member, uint8_t *destination, size_t *written_bytes)
{
    inflateReset(&zlib_stream);
    zlib_stream.next_in = const_cast<Bytef *>(member.compressed.data());
    zlib_stream.avail_in = uInt(member.compressed.size());
    zlib_stream.next_out = destination;
    zlib_stream.avail_out = uInt(MEMBER_BYTES);
    int status = inflate(&zlib_stream, Z_FINISH);
    *written_bytes = MEMBER_BYTES - zlib_stream.avail_out;
    return status == Z_STREAM_END;
}

#ifdef TALVOK_BENCH_LIBDEFLATE
libdeflate_decompressor *libdeflate_state;

bool DecodeLibdeflate(const Member &member, uint8_t *destination, size_t *written_bytes)
{
    return libdeflate_deflate_decompress(libdeflate_state, member.compressed.data(), member.compressed.size(),
                                         destination, MEMBER_BYTES, written_bytes) == LIBDEFLATE_SUCCESS;
}
#endif

struct Decoder {
    const char *name;
    bool (*decode)(const Member &, uint8_t *, size_t *);
};

std::vector<uint8_t> CompressRaw(const std::vector<uint8_t> &data)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&z, uLong(data.size())));
    z.next_in = const_cast<Bytef *>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

double Seconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

// Best time over repetitions of folding every member, chunk by chunk, into
// a CRC through fold; the CRCs must agree with zlib's, or it returns 0.
template <typename Fold>
double TimeCrc(const std::vector<CorpusClass> &classes, int repetitions, Fold fold)
{
    uint32_t expected = 0;
    for (const CorpusClass &corpus_class : classes)
        for (const Member &member : corpus_class.members)
            expected ^= uint32_t(crc32(0, member.original.data(), uInt(member.original.size())));
    double best = 1e30;
    for (int repetition = 0; repetition < repetitions; repetition++) {
        auto start = std::chrono::steady_clock::now();
        uint32_t combined = 0;
        for (const CorpusClass &corpus_class : classes)
            for (const Member &member : corpus_class.members)
                combined ^= fold(member.original.data(), member.original.size());
        double elapsed = Seconds(std::chrono::steady_clock::now() - start);
        if (combined != expected)
            return 0;
        if (elapsed < best)
            best = elapsed;
    }
    return best;
}

uint32_t CrcOurs(const uint8_t *data, size_t length_bytes)
{
    RunningCrc = CRC32_INITIAL;
    for (size_t at = 0; at < length_bytes; at += IO_CHUNK_BYTES)
        UpdateCrc(data + at, length_bytes - at < IO_CHUNK_BYTES ? length_bytes - at : IO_CHUNK_BYTES);
    return ~RunningCrc;
}

uint32_t CrcZlib(const uint8_t *data, size_t length_bytes)
{
    uLong crc = crc32(0, nullptr, 0);
    for (size_t at = 0; at < length_bytes; at += IO_CHUNK_BYTES)
        crc = crc32(crc, data + at, uInt(length_bytes - at < IO_CHUNK_BYTES ? length_bytes - at : IO_CHUNK_BYTES));
    return uint32_t(crc);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: inflate_bench CORPUS_DIR [REPETITIONS]\n");
        return 2;
    }
    std::string corpus_dir = argv[1];
    int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;

    std::vector<CorpusClass> classes = {{"text", {}}, {"binary", {}}, {"compressed", {}}};
    size_t compressed_total_bytes = 0;
    for (CorpusClass &corpus_class : classes) {
        std::vector<uint8_t> data;
        std::string path = corpus_dir + "/" + corpus_class.name + ".bin";
        if (!ReadFile(path, data) || data.empty()) {
            std::fprintf(stderr, "cannot read %s (run make_corpus.py first)\n", path.c_str());
            return 2;
        }
        for (size_t at = 0; at < data.size(); at += MEMBER_BYTES) {
            Member member;
            member.original.assign(data.begin() + long(at),
                                   data.begin() + long(at + MEMBER_BYTES < data.size() ? at + MEMBER_BYTES : data.size()));
            member.compressed = CompressRaw(member.original);
            corpus_class.original_bytes += member.original.size();
            compressed_total_bytes += member.compressed.size();
            corpus_class.members.push_back(std::move(member));
        }
    }

    // Our decoder's buffers, allocated once as the stub does.
    std::vector<uint8_t> window(WINDOW_BYTES), input(IO_BUFFER_BYTES), output(IO_BUFFER_BYTES);
    Stream.Window = window.data();
    Stream.InputBuffer = input.data();
    Stream.OutputBuffer = output.data();
    StreamCalls.RefillInput = RefillFromMember;
    StreamCalls.WriteOutputBuffer = WriteChunk;
    inflateInit2(&zlib_stream, -15);
    std::vector<Decoder> decoders = {{"inflate", DecodeOurs}, {"zlib", DecodeZlib}};
#ifdef TALVOK_BENCH_LIBDEFLATE
    libdeflate_state = libdeflate_alloc_decompressor();
    decoders.push_back({"libdeflate", DecodeLibdeflate});
#endif

    std::vector<uint8_t> destination(MEMBER_BYTES);
    // seconds[decoder][class]: the sum of the members' best repetitions.
    std::vector<std::vector<double>> seconds(decoders.size(), std::vector<double>(classes.size(), 1e30));
    for (size_t d = 0; d < decoders.size(); d++) {
        for (size_t c = 0; c < classes.size(); c++) {
            for (const Member &member : classes[c].members) {
                size_t written_bytes = 0;
                if (!decoders[d].decode(member, destination.data(), &written_bytes) ||
                    written_bytes != member.original.size() ||
                    std::memcmp(destination.data(), member.original.data(), written_bytes) != 0) {
                    std::fprintf(stderr, "%s decoded a %s member wrongly\n", decoders[d].name, classes[c].name);
                    return 1;
                }
            }
        }
    }
    CopyChunks = false;
    // Member by member, the decoders in turn, so that a burst of load from
    // other programs spoils one member's repetition of one decoder, not a
    // whole class, and hits every decoder alike.
    for (size_t c = 0; c < classes.size(); c++) {
        for (size_t d = 0; d < decoders.size(); d++)
            seconds[d][c] = 0;
        for (const Member &member : classes[c].members) {
            std::vector<double> best(decoders.size(), 1e30);
            for (int repetition = 0; repetition < repetitions; repetition++) {
                for (size_t d = 0; d < decoders.size(); d++) {
                    auto start = std::chrono::steady_clock::now();
                    size_t written_bytes = 0;
                    decoders[d].decode(member, destination.data(), &written_bytes);
                    double elapsed = Seconds(std::chrono::steady_clock::now() - start);
                    if (elapsed < best[d])
                        best[d] = elapsed;
                }
            }
            for (size_t d = 0; d < decoders.size(); d++)
                seconds[d][c] += best[d];
        }
    }

    size_t original_total_bytes = 0;
    for (const CorpusClass &corpus_class : classes)
        original_total_bytes += corpus_class.original_bytes;
    std::printf("corpus: %.1f MB in %zu-byte members, %.1f MB compressed by zlib level 6; each member best of %d\n",
                original_total_bytes / 1e6, MEMBER_BYTES, compressed_total_bytes / 1e6, repetitions);
    std::printf("%-11s %9s", "class", "MB");
    for (const Decoder &decoder : decoders)
        std::printf(" %12s", (std::string(decoder.name) + " MB/s").c_str());
    for (size_t d = 1; d < decoders.size(); d++)
        std::printf(" %14s", (std::string("vs ") + decoders[d].name).c_str());
    std::printf("\n");
    std::vector<double> total_seconds(decoders.size(), 0);
    for (size_t c = 0; c <= classes.size(); c++) {
        bool whole = c == classes.size();
        double megabytes = (whole ? original_total_bytes : classes[c].original_bytes) / 1e6;
        std::printf("%-11s %9.1f", whole ? "all" : classes[c].name, megabytes);
        std::vector<double> rates;
        for (size_t d = 0; d < decoders.size(); d++) {
            double time = whole ? total_seconds[d] : seconds[d][c];
            if (!whole)
                total_seconds[d] += seconds[d][c];
            rates.push_back(megabytes / time);
            std::printf(" %12.1f", rates.back());
        }
        for (size_t d = 1; d < decoders.size(); d++)
            std::printf(" %13.2fx", rates[0] / rates[d]);
        std::printf("\n");
    }

    BuildCrcTable();
    double crc_ours = TimeCrc(classes, repetitions, CrcOurs);
    double crc_zlib = TimeCrc(classes, repetitions, CrcZlib);
    if (crc_ours == 0 || crc_zlib == 0) {
        std::fprintf(stderr, "UpdateCrc disagrees with zlib's crc32\n");
        return 1;
    }
    std::printf("crc32 MB/s: UpdateCrc %.1f, zlib %.1f\n", original_total_bytes / 1e6 / crc_ours,
                original_total_bytes / 1e6 / crc_zlib);
    std::printf("inflate vs zlib: %.2fx\n", total_seconds[1] / total_seconds[0]);
    inflateEnd(&zlib_stream);
    return 0;
}
