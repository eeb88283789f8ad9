// Installer assembly (see installer_builder.h).
#include "installer_builder.h"

#include "build_error.h"
#include "message_fit.h"
#include "stub_language.h"
#include "parameter_block_patch.h"
#include "pe_image.h"
#include "portable/parameter_block.h"
#include "portable/sfx_header_layout.h"
#include "zip_writer.h"

namespace {

constexpr uint32_t TOTAL_SIZE_MAX = 0xFFFFFFFFu;  // the ParameterBlock's size field

// Where the archive went; absolute file offsets.
struct ArchivePlacement {
    uint32_t first_local_header;
    uint32_t central_directory;
    uint32_t end_record;
    uint32_t padding_bytes;
    uint32_t lead_padding_bytes;
    uint32_t total_size;
    size_t member_count;
};

// The archive written anew at base (zip_writer.h), appended to section.
ArchivePlacement PlaceWrittenArchive(const ZipArchive &archive, uint32_t base, uint32_t end_alignment,
                                     std::vector<uint8_t> &section)
{
    const uint64_t total_size = TotalUncompressedBytes(archive);
    if (total_size > TOTAL_SIZE_MAX)
        Refuse("the members unpack to %llu bytes, over the 4 GiB the installer's size field counts",
               static_cast<unsigned long long>(total_size));
    ZipWriteLayout zip_layout;
    std::vector<uint8_t> archive_bytes = WriteZip(archive, base, end_alignment, &zip_layout);
    section.insert(section.end(), archive_bytes.begin(), archive_bytes.end());
    return ArchivePlacement{zip_layout.first_local_header, zip_layout.central_directory, zip_layout.end_record,
                            zip_layout.padding_bytes, zip_layout.lead_padding_bytes,
                            static_cast<uint32_t>(total_size), archive.members.size()};
}

// A verbatim archive at base, re-based, appended to section with zero bytes
// after it up to end_alignment. The padding stays outside the archive's own
// bytes on purpose: the written path grows the end record's comment instead,
// but here that would alter the archive under test, and a damaged archive may
// have no end record, or one whose comment length is already wrong. A total
// over 32 bits (Zip64 marks summed, say) is written as 0xFFFFFFFF. An
// installer of 2 GiB or more is refused by AppendSection().
ArchivePlacement PlaceVerbatimArchive(const VerbatimArchive &archive, uint32_t base, uint32_t end_alignment,
                                      std::vector<uint8_t> &section)
{
    const VerbatimScan &scan = archive.scan;
    const uint64_t unpadded_end = uint64_t(base) + archive.bytes.size();
    const uint64_t padded_end = (unpadded_end + end_alignment - 1) / end_alignment * end_alignment;

    std::vector<uint8_t> placed = archive.bytes;
    RebaseVerbatimArchive(placed, scan, base);
    section.insert(section.end(), placed.begin(), placed.end());
    section.resize(section.size() + size_t(padded_end - unpadded_end), 0);

    ArchivePlacement placement = {};
    placement.first_local_header = base;
    placement.central_directory = scan.directory_inside ? base + scan.central_directory : 0;
    placement.end_record = scan.end_record_found ? base + static_cast<uint32_t>(scan.end_record) : 0;
    placement.padding_bytes = static_cast<uint32_t>(padded_end - unpadded_end);
    placement.total_size =
        scan.total_bytes > TOTAL_SIZE_MAX ? TOTAL_SIZE_MAX : static_cast<uint32_t>(scan.total_bytes);
    placement.member_count = scan.total_from == TotalSizeSource::CentralDirectory ? scan.central_headers
                             : scan.total_from == TotalSizeSource::LocalHeaders   ? scan.local_headers
                                                                                  : 0;
    return placement;
}

}  // namespace

BuildResult BuildInstaller(const BuildRequest &request)
{
    const PeLayout layout = ReadPeLayout(request.stub, TALVOK_SECTION_NAME);
    BuildResult result = {};
    result.parameter_block = FindParameterBlock(request.stub);

    const SfxHeaderImage header = BuildSfxHeader(request.texts, request.flags, request.field_bounds);
    // The author's texts are measured against the stub's own messages; a
    // stub whose table this tvsfx does not know is measured as a Spanish one.
    const StubLanguage *language = StubLanguageOf(request.stub);
    result.language = language ? language->code : "";
    if (request.field_bounds == FieldBounds::Checked)
        if (const std::string fault = MessageFitFault(request.texts, (language ? language : &StubLanguages[0])->texts);
            !fault.empty())
            Refuse("%s", fault.c_str());
    result.header_offset = AppendedSectionOffset(layout);
    result.header_compressed_bytes = static_cast<uint32_t>(header.compressed.size());
    result.header_unpacked_bytes = static_cast<uint32_t>(header.unpacked_bytes);

    // The archive starts right after the header and is padded so that the
    // section, which starts on FileAlignment, also ends on it.
    uint32_t archive_offset = result.header_offset + result.header_compressed_bytes;
    std::vector<uint8_t> section = header.compressed;
    ArchivePlacement placement;
    if ((request.flags & FLAG_SPANNED) && !request.verbatim) {
        // A verbatim archive stays where a single file has it even when
        // --flags sets the disk-set bit: it is put in as given, never cut.
        // A disk set cuts the file inside or before its archive, and the
        // program on disk 1 must still load: the section holds the header
        // alone, zero-padded to FileAlignment (the stub's decoder stops at
        // the header's last block), and the archive follows outside it.
        section.resize((section.size() + layout.file_alignment - 1) / layout.file_alignment * layout.file_alignment,
                       0);
        if (section.size() > HEADER_COMPRESSED_MAX_BYTES)
            Refuse("--span: the header compresses to %u bytes; padded to the file alignment that is %zu, over "
                   "the %zu the installer reads",
                   result.header_compressed_bytes, section.size(), HEADER_COMPRESSED_MAX_BYTES);
        archive_offset = result.header_offset + static_cast<uint32_t>(section.size());
        std::vector<uint8_t> archive;
        placement = PlaceWrittenArchive(request.archive, archive_offset, 1, archive);
        result.image = request.stub;
        result.section_rva = AppendSection(result.image, layout, TALVOK_SECTION_NAME, section);
        result.image.insert(result.image.end(), archive.begin(), archive.end());
    } else {
        placement =
            request.verbatim ? PlaceVerbatimArchive(*request.verbatim, archive_offset, layout.file_alignment, section)
                             : PlaceWrittenArchive(request.archive, archive_offset, layout.file_alignment, section);
        result.image = request.stub;
        result.section_rva = AppendSection(result.image, layout, TALVOK_SECTION_NAME, section);
    }

    // The stub reads the header from its offset up to the first local header,
    // padding in front of the archive included.
    if (placement.first_local_header - result.header_offset > HEADER_COMPRESSED_MAX_BYTES)
        Refuse("the header compresses to %u bytes; with the %u bytes of section padding that the archive comment "
               "has no room for, that is over the %zu the installer reads (shorten the comment or the texts)",
               result.header_compressed_bytes, placement.lead_padding_bytes, HEADER_COMPRESSED_MAX_BYTES);

    ParameterFields fields;
    fields.first_local_header = placement.first_local_header;
    fields.header = result.header_offset;
    fields.end_record = placement.end_record;
    fields.total_size = placement.total_size;
    fields.flags = request.flags;
    fields.wait_name = request.wait_name;
    fields.entry_point = layout.entry_point;
    result.crc = CompleteParameterBlock(result.image, result.parameter_block, fields);

    result.first_local_header = placement.first_local_header;
    result.central_directory = placement.central_directory;
    result.end_record = placement.end_record;
    result.padding_bytes = placement.padding_bytes;
    result.lead_padding_bytes = placement.lead_padding_bytes;
    result.total_size = fields.total_size;
    result.flags = request.flags;
    result.covered_from = CoveredRegionStart(result.image, request.flags);
    result.entry_point = layout.entry_point;
    result.arch = layout.arch;
    result.member_count = placement.member_count;
    if (request.verbatim)
        result.verbatim = request.verbatim->scan;
    return result;
}
