// The stub's resource section (.rsrc) as a table of entries, read from a PE
// image and laid out again.
//
// The resource directory is a three-level tree: type, name, language, and at
// the leaf a data entry whose data is addressed by RVA. ReadResources()
// flattens it into one entry per leaf; LayOutResources() writes a table back
// as a section's content at a given RVA: every directory table first (root,
// then the types', then the names'), the data entries, the name strings, and
// the data, each blob on an 8-byte boundary. Within a directory named entries
// come first, sorted by their upper-cased names, then numbered ones in
// ascending order: the loader looks them up by binary search.
//
// ReplaceResources() puts a new table into the stub in place of its .rsrc.
// A new table of another size moves what follows .rsrc, which in a MinGW
// stub is the base relocation section alone: nothing refers to the
// relocations' own bytes but their data directory, so the section can move
// in the file and in memory. Everything before .rsrc, the ParameterBlock in
// .data among it, keeps its file offset and its RVA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t RESOURCE_TYPE_ICON = 3;
constexpr uint16_t RESOURCE_TYPE_GROUP_ICON = 14;
constexpr uint16_t RESOURCE_TYPE_VERSION = 16;
constexpr uint16_t RESOURCE_TYPE_MANIFEST = 24;

// A type or a name: a number, or a UTF-16 string.
struct ResourceKey {
    bool named = false;
    uint16_t id = 0;
    std::u16string name;
};
inline ResourceKey ResourceId(uint16_t id) { return ResourceKey{false, id, {}}; }
bool operator==(const ResourceKey &a, const ResourceKey &b);

struct ResourceEntry {
    ResourceKey type;
    ResourceKey name;
    uint16_t language;           // a LANGID, 1033 in the stub as windres writes it
    uint32_t codepage;           // of the data entry; 0 as windres writes it
    std::vector<uint8_t> data;
};

struct ResourceTable {
    std::vector<ResourceEntry> entries;

    // The first entry of that type and name in any language; nullptr if none.
    const ResourceEntry *Find(uint16_t type, uint16_t name) const;
    ResourceEntry *Find(uint16_t type, uint16_t name);
    // Removes every entry of that type and name (any language).
    void Remove(uint16_t type, uint16_t name);
};

// Where an image's resources are, and the tree read from there.
struct ResourceRead {
    bool present = false;         // the resource directory entry is not empty
    uint32_t directory_rva = 0, directory_bytes = 0;
    std::string section;          // name of the section holding the directory
    ResourceTable table;
    std::string failure;          // empty when the tree is well formed
};

// Reads the resource tree of any PE32 or PE32+ image (a stub, a completed or
// signed installer) with every offset checked: a loop, an entry or a data
// block outside the section, a wrong depth all give failure. Never refuses.
ResourceRead ReadResources(const std::vector<uint8_t> &image);

// The content of a resource section at rva holding table (unpadded).
std::vector<uint8_t> LayOutResources(const ResourceTable &table, uint32_t rva);

// stub with table in place of its resources: .rsrc laid out anew, the
// sections after it moved up or down, the resource and base relocation
// directories, SizeOfImage and SizeOfInitializedData updated, CheckSum
// zeroed. Refuses (BuildError) a stub whose .rsrc is followed by anything
// else than its relocations or is not where its directory begins.
std::vector<uint8_t> ReplaceResources(const std::vector<uint8_t> &stub, const ResourceTable &table);

// UTF-8 (as typed) to UTF-16 and back, for names and version strings.
// Refuses (BuildError, naming what) text that is not UTF-8.
std::u16string Utf16FromUtf8(const std::string &text, const char *what);
std::string Utf8FromUtf16(const std::u16string &text);
