#!/usr/bin/python3
"""What Python's pefile (not our code) reads of an executable's resources,
one fact per line, for the builder's resource tests:
    read_resources.py FILE
  warnings N                      pefile's complaints about the image
  section NAME VA RAW_OFFSET RAW_SIZE VIRTUAL_SIZE
  relocations SHA1                the base relocations as (RVA, type) pairs
  image SIZE_OF_IMAGE INITIALIZED_DATA
  resource TYPE NAME LANGUAGE BYTES SHA1
  fixed FILE_VERSION PRODUCT_VERSION FILE_OS FILE_TYPE
  table KEY                       a StringFileInfo table
  string KEY=VALUE
  translation LANGID CODEPAGE"""
import hashlib
import sys

import pefile

pe = pefile.PE(sys.argv[1])
print('warnings', len(pe.get_warnings()))
for s in pe.sections:
    print('section', s.Name.rstrip(b'\0').decode(), hex(s.VirtualAddress), hex(s.PointerToRawData),
          hex(s.SizeOfRawData), hex(s.Misc_VirtualSize))
relocs = []
for block in getattr(pe, 'DIRECTORY_ENTRY_BASERELOC', []):
    relocs += [(entry.rva, entry.type) for entry in block.entries]
print('relocations', hashlib.sha1(repr(relocs).encode()).hexdigest(), len(relocs))
print('image', hex(pe.OPTIONAL_HEADER.SizeOfImage), hex(pe.OPTIONAL_HEADER.SizeOfInitializedData))


def name(entry):
    return str(entry.name) if entry.name is not None else str(entry.id)


root = getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None)
for rtype in root.entries if root else []:
    for rname in rtype.directory.entries:
        for lang in rname.directory.entries:
            data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
            print('resource', name(rtype), name(rname), lang.id, len(data), hashlib.sha1(data).hexdigest())


def version(ms, ls):
    return '%d.%d.%d.%d' % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


for fixed in getattr(pe, 'VS_FIXEDFILEINFO', []):
    print('fixed', version(fixed.FileVersionMS, fixed.FileVersionLS),
          version(fixed.ProductVersionMS, fixed.ProductVersionLS), hex(fixed.FileOS), fixed.FileType)
for info in getattr(pe, 'FileInfo', []):
    for block in info:
        if block.Key == b'StringFileInfo':
            for table in block.StringTable:
                print('table', table.LangID.decode())
                for key, value in table.entries.items():
                    print('string %s=%s' % (key.decode(), value.decode()))
        elif block.Key == b'VarFileInfo':
            for var in block.Var:
                value = var.entry.get(b'Translation', '')
                print('translation', value)
