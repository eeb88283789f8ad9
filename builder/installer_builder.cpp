// Installer assembly (see installer_builder.h).
#include "installer_builder.h"

#include "build_error.h"
#include "parameter_block_patch.h"
#include "pe_image.h"
#include "portable/parameter_block.h"
#include "zip_writer.h"

BuildResult BuildInstaller(const BuildRequest &request)
{
    const PeLayout layout = ReadPeLayout(request.stub, TALVOK_SECTION_NAME);
    BuildResult result = {};
    result.parameter_block = FindParameterBlock(request.stub);

    const uint64_t total_size = TotalUncompressedBytes(request.archive);
    if (total_size > 0xFFFFFFFFu)
        Refuse("the members unpack to %llu bytes, over the 4 GiB the installer's size field counts",
               static_cast<unsigned long long>(total_size));

    const SfxHeaderImage header = BuildSfxHeader(request.texts, request.flags, request.field_bounds);
    result.header_offset = AppendedSectionOffset(layout);
    result.header_compressed_bytes = static_cast<uint32_t>(header.compressed.size());
    result.header_unpacked_bytes = static_cast<uint32_t>(header.unpacked_bytes);

    // The archive starts right after the header and is padded so that the
    // section, which starts on FileAlignment, also ends on it.
    ZipWriteLayout zip_layout;
    const uint32_t archive_offset = result.header_offset + result.header_compressed_bytes;
    std::vector<uint8_t> section = header.compressed;
    std::vector<uint8_t> archive_bytes = WriteZip(request.archive, archive_offset, layout.file_alignment, &zip_layout);
    section.insert(section.end(), archive_bytes.begin(), archive_bytes.end());
    archive_bytes.clear();
    archive_bytes.shrink_to_fit();

    result.image = request.stub;
    result.section_rva = AppendSection(result.image, layout, TALVOK_SECTION_NAME, section);

    ParameterFields fields;
    fields.first_local_header = zip_layout.first_local_header;
    fields.header = result.header_offset;
    fields.end_record = zip_layout.end_record;
    fields.total_size = static_cast<uint32_t>(total_size);
    fields.flags = request.flags;
    fields.wait_name = request.wait_name;
    fields.entry_point = layout.entry_point;
    result.crc = CompleteParameterBlock(result.image, result.parameter_block, fields);

    result.first_local_header = zip_layout.first_local_header;
    result.central_directory = zip_layout.central_directory;
    result.end_record = zip_layout.end_record;
    result.padding_bytes = zip_layout.padding_bytes;
    result.total_size = fields.total_size;
    result.flags = request.flags;
    result.covered_from = CoveredRegionStart(result.image, request.flags);
    result.entry_point = layout.entry_point;
    result.arch = layout.arch;
    result.member_count = request.archive.members.size();
    return result;
}
