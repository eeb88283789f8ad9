// Disk sets of spanned archives (see disk_set.h).
#include "disk_set.h"

#include "build_error.h"
#include "host_system.h"
#include "input_file.h"
#include "installer_reader.h"
#include "output_file.h"
#include "portable/byte_order.h"
#include "portable/parameter_block.h"
#include "archive/zip_records.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace {

// A stretch of the archive: a record (or a record's part) that must stay on
// one disk, or member data, which may be cut anywhere.
struct Piece {
    size_t offset;
    size_t bytes;
    bool data;
    const char *what;
};

bool SignatureAt(const std::vector<uint8_t> &image, size_t at, const uint8_t *tail)
{
    return at + ZIP_SIGNATURE_BYTES <= image.size() && image[at] == ZIP_SIGNATURE_LEAD &&
           std::memcmp(&image[at + 1], tail, ZIP_SIGNATURE_TAIL_BYTES) == 0;
}

// The archive from first as the installer's walk meets it: each local header
// (signature, then the fixed part with the name, extra field and encryption
// header), its data, its descriptor; then the directory's records whole, and
// whatever follows the end record as one piece.
std::vector<Piece> Pieces(const std::vector<uint8_t> &image, size_t first)
{
    std::vector<Piece> pieces;
    size_t at = first;
    auto add = [&](size_t bytes, bool data, const char *what) {
        bytes = std::min(bytes, image.size() - at);
        if (bytes)
            pieces.push_back({at, bytes, data, what});
        at += bytes;
    };
    while (SignatureAt(image, at, ZIP_LOCAL_HEADER_TAIL) && at + LOCAL_HEADER_BYTES <= image.size()) {
        const uint8_t *header = &image[at];
        const uint16_t flags = ReadLe16(header + LH_FLAGS);
        const size_t encryption = (flags & ZIP_FLAG_ENCRYPTED) ? ZIP_ENCRYPTION_HEADER_BYTES : 0;
        const size_t compressed = ReadLe32(header + LH_COMPRESSED_SIZE);
        add(ZIP_SIGNATURE_BYTES, false, "a local header's signature");
        add(LOCAL_HEADER_BYTES - ZIP_SIGNATURE_BYTES + ReadLe16(header + LH_NAME_LENGTH) +
                ReadLe16(header + LH_EXTRA_LENGTH) + std::min(encryption, compressed),
            false, "a local header");
        add(compressed - std::min(encryption, compressed), true, "member data");
        if (flags & ZIP_FLAG_DESCRIPTOR)
            add(DATA_DESCRIPTOR_BYTES, false, "a data descriptor");
    }
    while (SignatureAt(image, at, ZIP_CENTRAL_HEADER_TAIL) && at + CENTRAL_HEADER_BYTES <= image.size()) {
        const uint8_t *header = &image[at];
        add(CENTRAL_HEADER_BYTES + ReadLe16(header + CH_NAME_LENGTH) + ReadLe16(header + CH_EXTRA_LENGTH) +
                ReadLe16(header + CH_COMMENT_LENGTH),
            false, "a central header");
    }
    add(image.size() - at, false, "the end record");
    return pieces;
}

// The piece a cut at offset falls strictly inside, or nullptr.
const Piece *PieceAround(const std::vector<Piece> &pieces, size_t offset)
{
    for (const Piece &piece : pieces)
        if (piece.offset < offset && offset < piece.offset + piece.bytes)
            return &piece;
    return nullptr;
}

std::string WithExtension(const std::string &name, const char *extension)
{
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + extension;
}

std::string Joined(const std::string &folder, const std::string &name) { return folder + "/" + name; }

// The file named name in folder, its extension's case not counting.
bool ReadDiskFile(const std::string &folder, const std::string &name, std::vector<uint8_t> &bytes, std::string &path)
{
    std::vector<std::string> names;
    std::string error;
    if (!ListFolder(folder, names, error))
        return false;
    for (const std::string &found : names) {
        std::string a = found, b = name;
        std::transform(a.begin(), a.end(), a.begin(), [](unsigned char c) { return std::toupper(c); });
        std::transform(b.begin(), b.end(), b.begin(), [](unsigned char c) { return std::toupper(c); });
        if (a == b) {
            path = Joined(folder, found);
            return ReadInputFile(path, bytes, error) == InputRead::Read;
        }
    }
    return false;
}

}  // namespace

std::string DiskLabel(unsigned number)
{
    char label[32];
    std::snprintf(label, sizeof label, "PKBACK# %03u", number);
    return label;
}

uint64_t ParseDiskSize(const std::string &text)
{
    // Digits only: strtoull would take a sign or blanks ("-1" is 2^64 - 1).
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return 0;
    char *end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
    if (errno == ERANGE)
        return 0;
    const std::string suffix = end;
    const uint64_t unit = suffix.empty() ? 1
                          : (suffix == "k" || suffix == "K") ? 1024
                          : (suffix == "m" || suffix == "M") ? 1024 * 1024
                          : (suffix == "g" || suffix == "G") ? 1024ull * 1024 * 1024
                                                             : 0;
    if (unit == 0 || number > UINT64_MAX / unit)
        return 0;  // an unknown suffix, or a product past 64 bits
    return number * unit;
}

std::vector<Disk> LayOutDisks(const std::vector<uint8_t> &image, uint32_t first_local_header, bool exe_volumes,
                              uint64_t disk_bytes, const std::string &program_name)
{
    const size_t marker = exe_volumes ? 0 : ZIP_SIGNATURE_BYTES;
    if (first_local_header + marker >= disk_bytes)
        Refuse("--span: the installer up to its archive is %u bytes; it does not fit on a disk of %llu bytes",
               first_local_header, static_cast<unsigned long long>(disk_bytes));
    // Where each disk's part of the archive begins.
    std::vector<size_t> starts = {first_local_header};
    uint64_t room = disk_bytes - first_local_header - marker;
    for (const Piece &piece : Pieces(image, first_local_header)) {
        if (!piece.data) {
            if (piece.bytes > room) {  // moves whole to the next disk
                if (piece.bytes > disk_bytes)
                    Refuse("--span: %s of %zu bytes does not fit on a disk of %llu bytes", piece.what, piece.bytes,
                           static_cast<unsigned long long>(disk_bytes));
                starts.push_back(piece.offset);
                room = disk_bytes;
            }
            room -= piece.bytes;
            continue;
        }
        size_t left = piece.bytes, at = piece.offset;
        while (left > room) {
            at += room;
            left -= room;
            starts.push_back(at);
            room = disk_bytes;
        }
        room -= left;
    }

    const std::vector<uint8_t> program(image.begin(), image.begin() + first_local_header);
    const std::string later_name = WithExtension(program_name, exe_volumes ? ".EXE" : ".ZIP");
    std::vector<Disk> disks;
    for (size_t index = 0; index < starts.size(); index++) {
        const size_t end = index + 1 < starts.size() ? starts[index + 1] : image.size();
        std::vector<uint8_t> part(image.begin() + starts[index], image.begin() + end);
        Disk disk;
        disk.label = DiskLabel(static_cast<unsigned>(index + 1));
        if (index == 0 && exe_volumes) {
            part.insert(part.begin(), program.begin(), program.end());
            disk.files.push_back({program_name, part});
        } else {
            if (index == 0) {
                disk.files.push_back({program_name, program});
                part.insert(part.begin(), {ZIP_SIGNATURE_LEAD, ZIP_DATA_DESCRIPTOR_TAIL[0], ZIP_DATA_DESCRIPTOR_TAIL[1],
                                           ZIP_DATA_DESCRIPTOR_TAIL[2]});
            }
            disk.files.push_back({later_name, part});
        }
        disks.push_back(disk);
    }
    return disks;
}

void WriteDiskSet(const std::string &folder, const std::vector<Disk> &disks)
{
    std::string labels;
    for (size_t index = 0; index < disks.size(); index++) {
        const std::string disk_folder = Joined(folder, "disk" + std::to_string(index + 1));
        std::string error;
        if (!MakeFolder(disk_folder, error))
            Refuse("--span: cannot make %s: %s", disk_folder.c_str(), error.c_str());
        for (const DiskFile &file : disks[index].files)
            WriteOutputFile(Joined(disk_folder, file.name), file.bytes);
        labels += "disk" + std::to_string(index + 1) + " " + disks[index].label + "\n";
    }
    WriteOutputFile(Joined(folder, "labels.txt"), std::vector<uint8_t>(labels.begin(), labels.end()));
}

JoinedSet JoinDiskSet(const std::vector<std::string> &folders, std::vector<std::string> &faults)
{
    JoinedSet set;
    // Disk 1's installer: the one ".exe" file there with a ParameterBlock.
    std::vector<std::string> names;
    std::string error;
    if (folders.empty() || !ListFolder(folders[0], names, error)) {
        faults.push_back((folders.empty() ? std::string("no disks") : folders[0]) + ": cannot list it: " + error);
        return set;
    }
    std::sort(names.begin(), names.end());
    std::string program_name;
    std::vector<uint8_t> program;
    for (const std::string &name : names) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        std::vector<uint8_t> bytes;
        if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".exe") == 0 &&
            ReadInputFile(Joined(folders[0], name), bytes, error) == InputRead::Read &&
            ReadInstaller(bytes).parameters) {
            program_name = name;
            program = std::move(bytes);
            break;
        }
    }
    if (program_name.empty()) {
        faults.push_back(folders[0] + ": no installer made by tvsfx on disk 1");
        return set;
    }
    set.installer_path = Joined(folders[0], program_name);
    const ParameterFacts block = *ReadInstaller(program).parameters;
    if (!(block.flags & FLAG_SPANNED))
        faults.push_back(set.installer_path + ": flags bit 12 (spanned) is clear: the installer reads no disks");
    const bool exe_volumes = (block.flags & FLAG_EXE_VOLUMES) != 0;
    const std::string later_name = WithExtension(program_name, exe_volumes ? ".EXE" : ".ZIP");

    set.image = program;
    for (size_t index = 0; index < folders.size(); index++) {
        if (index == 0 && exe_volumes)
            continue;
        std::vector<uint8_t> part;
        std::string path;
        if (!ReadDiskFile(folders[index], later_name, part, path)) {
            faults.push_back(folders[index] + ": disk " + std::to_string(index + 1) + " has no " + later_name);
            set.image.clear();
            return set;
        }
        size_t skip = 0;
        if (index == 0) {
            if (set.image.size() != block.first_local_header)
                faults.push_back(set.installer_path + ": with .ZIP disks the installer ends where its archive "
                                                      "begins, but it goes on past its header");
            // A spanning marker opening the first disk's data is not part of the archive.
            if (SignatureAt(part, 0, ZIP_DATA_DESCRIPTOR_TAIL) || SignatureAt(part, 0, ZIP_SPANNING_MARK_TAIL))
                skip = ZIP_SIGNATURE_BYTES;
        } else {
            set.cuts.push_back(set.image.size());
        }
        set.image.insert(set.image.end(), part.begin() + skip, part.end());
        if (set.image.size() >= INPUT_FILE_BYTES_LIMIT) {
            faults.push_back(folders[index] + ": the disks up to this one join to 2 GiB or more, which no installer "
                                              "can be (its offsets are signed 32-bit values)");
            set.image.clear();
            return set;
        }
    }
    const std::vector<Piece> pieces = Pieces(set.image, block.first_local_header);
    for (size_t index = 0; index < set.cuts.size(); index++) {
        const Piece *piece = PieceAround(pieces, set.cuts[index]);
        if (piece && !piece->data) {
            char text[200];
            std::snprintf(text, sizeof text, "disk %zu begins inside %s (at 0x%zX of the joined archive), which "
                                             "the installer does not read across disks",
                          index + 2, piece->what, piece->offset);
            faults.push_back(folders[index + 1] + ": " + text);
        }
    }
    return set;
}
