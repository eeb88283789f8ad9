// The traditional zip cipher against Info-ZIP zip and 7-Zip: members they
// encrypted decrypt to the original bytes, and the twelfth header byte
// carries the check byte (the CRC's high byte, or the DOS time's high byte
// when the member has a data descriptor, as Info-ZIP gives every encrypted
// member; 7-Zip gives none).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "extract/crc32.h"
#include "extract/crypt/zip_cipher.h"
#include "portable/byte_order.h"

namespace {

std::vector<uint8_t> ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ZipCipher, DecryptsWhatPeersEncrypted)
{
    char folder[] = "/tmp/talvok-cipher-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(folder));
    const std::string dir = folder;
    std::string content;
    for (int line = 0; line < 400; line++)
        content += "línea " + std::to_string(line * 7919 % 1000) + " del archivo de prueba\n";
    std::ofstream(dir + "/plain.txt", std::ios::binary) << content;
    BuildCrcTable();

    const struct {
        const char *name;
        const char *command;  // run in dir; makes out.zip with one stored member
        bool descriptor;      // flag bit 3: check byte from the DOS time
    } cases[] = {
        {"Info-ZIP", "zip -q -0 -P 'S3cr3t-x' out.zip plain.txt", true},
        {"7-Zip", "7z a -bd -tzip -mx=0 -p'S3cr3t-x' -mem=ZipCrypto out.zip plain.txt >/dev/null", false},
    };
    for (const auto &c : cases) {
        std::remove((dir + "/out.zip").c_str());
        ASSERT_EQ(0, std::system(("cd " + dir + " && " + c.command).c_str())) << c.name;
        std::vector<uint8_t> zip = ReadAll(dir + "/out.zip");
        ASSERT_GT(zip.size(), 30u) << c.name;
        const uint16_t flags = ReadLe16(&zip[6]);
        ASSERT_EQ(1, flags & 1) << c.name << ": not encrypted";
        ASSERT_EQ(c.descriptor ? 8 : 0, flags & 8) << c.name;
        const size_t data = 30 + ReadLe16(&zip[26]) + ReadLe16(&zip[28]);
        const uint32_t crc = ReadLe32(&zip[14]);
        std::vector<uint8_t> bytes(zip.begin() + data, zip.begin() + data + 12 + content.size());

        InitKeys("S3cr3t-x");
        DecryptBytes(bytes.data(), bytes.size());
        const uint8_t expected_check = c.descriptor ? zip[11] : static_cast<uint8_t>(crc >> 24);
        EXPECT_EQ(expected_check, bytes[11]) << c.name;
        EXPECT_EQ(content, std::string(bytes.begin() + 12, bytes.end())) << c.name;

        // A wrong password gives other bytes.
        std::vector<uint8_t> again(zip.begin() + data, zip.begin() + data + 12 + content.size());
        InitKeys("s3cr3t-x");
        DecryptBytes(again.data(), again.size());
        EXPECT_NE(content, std::string(again.begin() + 12, again.end())) << c.name;
    }
    std::system(("rm -rf " + dir).c_str());
}

}  // namespace
