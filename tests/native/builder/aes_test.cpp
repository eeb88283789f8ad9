// AES members (AE-2, zip method 99): the counter mode and key derivation
// against published vectors and an independent PBKDF2 (Python's hashlib);
// --encryption aes256, the default with a password, read by 7-Zip byte for
// byte and refused by it with a wrong password; 7-Zip's own AES archives
// taken by --from-zip and checked by verify; info naming the cipher.
#include "builder_support.h"

#include <gtest/gtest.h>

#include "ae_crypto.h"
#include "extract/aes/ae_format.h"

namespace builder_test {
namespace {

std::string HexOf(const uint8_t *bytes, size_t count)
{
    std::string text;
    char pair[3];
    for (size_t at = 0; at < count; at++) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[at]);
        text += pair;
    }
    return text;
}

int CopyBlocks(uint8_t *, size_t) { return 0; }  // the identity: keystream = counter blocks

TEST(AeCounter, BlocksCountFromOneLittleEndianAcrossRefills)
{
    // With the identity for AES, zeros XORed with the keystream show the
    // counter: block n is n, 16 bytes little-endian, also past a carry and
    // past the keystream buffer's end, whatever the pieces' sizes.
    std::vector<uint8_t> data(AE_KEYSTREAM_BYTES * 2 + 48, 0);
    AeCounterState state;
    ResetAeCounter(state);
    size_t at = 0;
    for (size_t piece : {1, 15, 17, 4000, 5000, 100000})
        for (; piece && at < data.size(); piece--, at++)
            ASSERT_EQ(0, ApplyAeCounter(state, &data[at], 1, CopyBlocks));
    for (uint32_t block : {1u, 2u, 255u, 256u, 257u, 513u, 515u}) {
        uint8_t expected[16] = {uint8_t(block), uint8_t(block >> 8)};
        EXPECT_EQ(HexOf(expected, 16), HexOf(&data[(block - 1) * 16], 16)) << "block " << block;
    }
    // A new member starts again at 1.
    ResetAeCounter(state);
    uint8_t first[16] = {};
    ASSERT_EQ(0, ApplyAeCounter(state, first, 16, CopyBlocks));
    EXPECT_EQ("01000000000000000000000000000000", HexOf(first, 16));
}

TEST(AeCrypto, AesAndHmacGiveThePublishedVectors)
{
    // FIPS-197, appendix C.1 and C.3.
    uint8_t key[32], block[16];
    for (int i = 0; i < 32; i++)
        key[i] = uint8_t(i);
    for (int i = 0; i < 16; i++)
        block[i] = uint8_t(i * 0x11);
    SetAeKey(key, 16);
    ASSERT_EQ(0, AeEncryptBlocks(block, 16));
    EXPECT_EQ("69c4e0d86a7b0430d8cdb78070b4c55a", HexOf(block, 16));
    for (int i = 0; i < 16; i++)
        block[i] = uint8_t(i * 0x11);
    SetAeKey(key, 32);
    ASSERT_EQ(0, AeEncryptBlocks(block, 16));
    EXPECT_EQ("8ea2b7ca516745bfeafc49904b496089", HexOf(block, 16));
    // RFC 2202, test case 2.
    const std::string text = "what do ya want for nothing?";
    const auto digest = HmacSha1(reinterpret_cast<const uint8_t *>("Jefe"), 4,
                                 reinterpret_cast<const uint8_t *>(text.data()), text.size());
    EXPECT_EQ("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79", HexOf(digest.data(), digest.size()));
}

TEST(AeCrypto, KeyDerivationMatchesHashlib)
{
    const uint8_t salt[16] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t keys[AE_DERIVED_MAX_BYTES];
    DeriveAeKeys("clave secreta", salt, sizeof salt, keys, sizeof keys);
    const ToolRun run = RunShell(
        "python3 -c 'import hashlib; print(hashlib.pbkdf2_hmac(\"sha1\", b\"clave secreta\", "
        "bytes.fromhex(\"1032547698badcfe0102030405060708\"), 1000, 66).hex())'");
    ASSERT_EQ(0, run.exit_code) << run.err;
    EXPECT_EQ(run.out, HexOf(keys, sizeof keys) + "\n");
}

class Aes : public ::testing::Test {
protected:
    void SetUp() override { MakeSamplePayload(dir / "payload"); }
    TempDir dir;
};

TEST_F(Aes, PasswordAloneGivesAe2MembersThat7ZipExtracts)
{
    ToolRun run = BuildFromDir(dir / "payload", dir / "setup.exe", {"--password", "Contraseña 1"});
    ASSERT_EQ(0, run.exit_code) << run.err;
    run = RunTvsfx({"build", "--out", dir / "summary.exe", "--from-dir", dir / "payload", "--password", "pw"});
    EXPECT_NE(std::string::npos, run.out.find("AES-256 (AE-2; the default with a password")) << run.out;
    const std::vector<uint8_t> image = ReadBytes(dir / "setup.exe");
    const ParameterView block = ParseParameterBlock(image);
    EXPECT_EQ(0x100u, block.flags);
    const LocalWalk walk = WalkLikeTheStub(image, block.first_local_header);
    ASSERT_EQ("", walk.failure);
    for (const LocalMember &member : walk.members) {
        if (member.name.back() == '/')
            continue;
        EXPECT_EQ(99, member.method) << member.name;
        EXPECT_EQ(1, member.flags & 1) << member.name;
        EXPECT_EQ(0u, member.crc) << member.name << ": AE-2 stores no CRC";
    }
    const std::string password = "Contrase\xF1" "a 1";  // code page 1252, as the installer takes it
    const std::string out = ShellQuote(dir / "setup.exe");
    run = RunShell("7z x -tzip -p" + ShellQuote(password) + " -o" + ShellQuote(dir / "by-7z") + " " + out);
    ASSERT_EQ(0, run.exit_code) << run.out << run.err;
    EXPECT_EQ(0, RunShell("diff -r " + ShellQuote(dir / "payload") + " " + ShellQuote(dir / "by-7z")).exit_code);
    EXPECT_NE(0, RunShell("7z t -tzip -pwrong " + out).exit_code);
    run = RunTvsfx({"verify", dir / "setup.exe", "--password", "Contraseña 1"});
    EXPECT_EQ(0, run.exit_code) << run.out << run.err;
    EXPECT_NE(std::string::npos, run.out.find("matching their CRCs or authentication codes")) << run.out;
    run = RunTvsfx({"info", dir / "setup.exe"});
    EXPECT_NE(std::string::npos, run.out.find("AES-256")) << run.out;

    // One flipped byte inside the last member's encrypted data: verify names it.
    std::vector<uint8_t> damaged = image;
    const LocalMember &last = walk.members.back();
    damaged[last.data_offset + 18 + (last.compressed_bytes - 28) / 2] ^= 0x01;
    WriteBytes(dir / "damaged.exe", damaged);
    run = RunTvsfx({"verify", dir / "damaged.exe", "--password", "Contraseña 1"});
    EXPECT_EQ(1, run.exit_code) << run.out << run.err;
    EXPECT_NE(std::string::npos, run.out.find("authentication code does not match")) << run.out << run.err;
}

TEST_F(Aes, SevenZipAesArchivesAreTakenAsTheyAre)
{
    int index = 0;
    for (const char *options : {"-mem=AES256", "-mem=AES128 -mm=Deflate64", "-mem=AES192 -mm=LZMA"}) {
        const std::string name = "aes" + std::to_string(++index) + ".zip";
        const std::string zip =
            MakePeerZip(dir, name, std::string("7z a -tzip -pxyz ") + options + " \"$OUT_ZIP\" . >/dev/null");
        ASSERT_FALSE(zip.empty()) << options;
        const std::string out = dir / "from-7z.exe";
        ToolRun run = RunTvsfx({"build", "--quiet", "--out", out, "--from-zip", zip});
        ASSERT_EQ(0, run.exit_code) << options << ": " << run.err;
        run = RunTvsfx({"verify", "--quiet", out, "--password", "xyz"});
        EXPECT_EQ(0, run.exit_code) << options << ": " << run.out << run.err;
        run = RunTvsfx({"verify", "--quiet", out, "--password", "zyx"});
        EXPECT_EQ(1, run.exit_code) << options << ": " << run.out << run.err;
        EXPECT_EQ(0x100u, ParseParameterBlock(ReadBytes(out)).flags & 0x100u) << options;
    }
}

TEST_F(Aes, EncryptionOptionIsCheckedAndZipCryptoStaysAvailable)
{
    ToolRun run = BuildFromDir(dir / "payload", dir / "a.exe", {"--encryption", "aes256"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("--encryption chooses")) << run.err;
    run = BuildFromDir(dir / "payload", dir / "a.exe", {"--password", "pw", "--encryption", "rot13"});
    EXPECT_EQ(1, run.exit_code);
    EXPECT_NE(std::string::npos, run.err.find("not aes256 or zipcrypto")) << run.err;
    run = RunTvsfx({"build", "--out", dir / "a.exe", "--from-dir", dir / "payload", "--password", "pw",
                    "--encryption", "zipcrypto"});
    ASSERT_EQ(0, run.exit_code) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("traditional zip cipher")) << run.out;
    EXPECT_EQ(0, RunShell("unzip -qq -t -P pw " + ShellQuote(dir / "a.exe")).exit_code);
}

}  // namespace
}  // namespace builder_test
