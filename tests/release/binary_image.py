"""Reads what the release checks need from a built module, PE or ELF, without
any tool of the toolchain: section names and contents, the imported DLLs, the
exports, the CodeView record that names the PDB, and the version resource."""
import struct


class FormatError(Exception):
    pass


class Image:
    def __init__(self, data: bytes):
        self.data = data
        self.sections = {}  # name -> (file offset, size, virtual address)
        if data[:2] == b"MZ":
            self.kind = "pe"
            self._read_pe()
        elif data[:4] == b"\x7fELF":
            self.kind = "elf"
            self._read_elf()
        else:
            raise FormatError("neither a PE nor an ELF file")

    @classmethod
    def open(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    def section(self, name) -> bytes:
        if name not in self.sections:
            raise FormatError(f"no section {name}")
        offset, size, _ = self.sections[name]
        return self.data[offset:offset + size]

    def _unpack(self, fmt, offset):
        end = offset + struct.calcsize(fmt)
        if offset < 0 or end > len(self.data):
            raise FormatError(f"read past the end of the file at {offset:#x}")
        return struct.unpack_from(fmt, self.data, offset)

    def _cstring(self, offset, encoding="ascii"):
        end = self.data.find(b"\0", offset)
        if offset < 0 or end < 0:
            raise FormatError(f"unterminated string at {offset:#x}")
        return self.data[offset:end].decode(encoding)

    # --- PE -----------------------------------------------------------------

    def _read_pe(self):
        (pe_offset,) = self._unpack("<I", 0x3C)
        if self.data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise FormatError("no PE signature")
        coff = pe_offset + 4
        (_, count, self.time_stamp, symbols, symbol_count, optional_size, _) = self._unpack(
            "<HHIIIHH", coff)
        optional = coff + 20
        (magic,) = self._unpack("<H", optional)
        if magic != 0x20B:
            raise FormatError("not a PE32+ image")
        (self.image_base,) = self._unpack("<Q", optional + 24)
        (self.image_size,) = self._unpack("<I", optional + 56)
        (directory_count,) = self._unpack("<I", optional + 108)
        self.directories = [self._unpack("<II", optional + 112 + 8 * i) for i in range(directory_count)]
        strings = symbols + 18 * symbol_count
        table = optional + optional_size
        for i in range(count):
            raw_name, virtual_size, address, raw_size, raw_offset = self._unpack("<8sIIII", table + 40 * i)
            name = raw_name.rstrip(b"\0").decode("ascii")
            if name.startswith("/"):  # a long name lives in the COFF string table
                name = self._cstring(strings + int(name[1:]))
            self.sections[name] = (raw_offset, min(virtual_size, raw_size) or raw_size, address)

    def _rva(self, rva):
        for offset, size, address in self.sections.values():
            if address <= rva < address + max(size, 1):
                return offset + rva - address
        raise FormatError(f"address {rva:#x} lies in no section")

    def imports(self):
        """Names of the DLLs the image imports, as written in it."""
        self._need_pe()
        rva, size = self.directories[1] if len(self.directories) > 1 else (0, 0)
        names = []
        entry = self._rva(rva) if size else None
        while entry is not None:
            lookup, _, _, name, thunks = self._unpack("<IIIII", entry)
            if lookup == 0 and name == 0 and thunks == 0:
                break
            names.append(self._cstring(self._rva(name)))
            entry += 20
        return names

    def exports(self):
        """{name: RVA} of the export table; an alias shares its target's RVA."""
        self._need_pe()
        rva, size = self.directories[0] if self.directories else (0, 0)
        if not size:
            return {}
        directory = self._rva(rva)
        _, _, names, functions, name_table, ordinal_table = self._unpack("<IIIIII", directory + 16)
        found = {}
        for i in range(names):
            (name,) = self._unpack("<I", self._rva(name_table) + 4 * i)
            (ordinal,) = self._unpack("<H", self._rva(ordinal_table) + 2 * i)
            if ordinal >= functions:
                raise FormatError(f"export {i} names function {ordinal} of {functions}")
            (address,) = self._unpack("<I", self._rva(functions) + 4 * ordinal)
            found[self._cstring(self._rva(name))] = address
        return found

    def codeview(self):
        """The PDB the image names in its debug directory: (GUID bytes, age, name)."""
        self._need_pe()
        rva, size = self.directories[6] if len(self.directories) > 6 else (0, 0)
        entry = self._rva(rva) if size else 0
        for _ in range(size // 28):
            kind, _, _, offset = self._unpack("<IIII", entry + 12)
            entry += 28
            if kind == 2 and self.data[offset:offset + 4] == b"RSDS":  # IMAGE_DEBUG_TYPE_CODEVIEW
                (age,) = self._unpack("<I", offset + 20)
                return self.data[offset + 4:offset + 20], age, self._cstring(offset + 24, "utf-8")
        raise FormatError("no CodeView record in the debug directory")

    def version_resource(self):
        """The first RT_VERSION resource: (fixed file info, {key: value} of StringFileInfo)."""
        self._need_pe()
        rva, size = self.directories[2] if len(self.directories) > 2 else (0, 0)
        if not size:
            raise FormatError("no resource directory")
        root = self._rva(rva)

        def entries(directory):
            named, numbered = self._unpack("<HH", directory + 12)
            for i in range(named + numbered):
                ident, target = self._unpack("<II", directory + 16 + 8 * i)
                yield ident, target

        for ident, target in entries(root):
            if ident != 16 or not target & 0x80000000:  # RT_VERSION, a subdirectory
                continue
            node = root + (target & 0x7FFFFFFF)
            while True:  # down the name and language levels to the first data entry
                _, target = next(entries(node))
                if not target & 0x80000000:
                    break
                node = root + (target & 0x7FFFFFFF)
            data_rva, data_size, _, _ = self._unpack("<IIII", root + target)
            offset = self._rva(data_rva)
            return _parse_version_info(self.data[offset:offset + data_size])
        raise FormatError("no version resource")

    def _need_pe(self):
        if self.kind != "pe":
            raise FormatError("not a PE file")

    # --- ELF ----------------------------------------------------------------

    def _read_elf(self):
        if self.data[4] != 2 or self.data[5] != 1:
            raise FormatError("not a 64-bit little-endian ELF file")
        (table,) = self._unpack("<Q", 0x28)
        entry_size, count, names_index = self._unpack("<HHH", 0x3A)
        headers = [self._unpack("<IIQQQQ", table + entry_size * i) for i in range(count)]
        names = headers[names_index][4] if headers else 0
        for name, kind, _, address, offset, size in headers:
            size = 0 if kind == 8 else size  # SHT_NOBITS takes no room in the file
            self.sections[self._cstring(names + name)] = (offset, size, address)


def _align4(offset):
    return (offset + 3) & ~3


def _parse_version_info(block: bytes):
    fixed = None
    strings = {}

    def node(offset):
        length, value_length, kind = struct.unpack_from("<HHH", block, offset)
        if length < 6 or offset + length > len(block):
            raise FormatError(f"version block of length {length} at {offset:#x} does not fit")
        end = offset + length
        key_end = offset + 6
        while key_end + 2 <= end and block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        if key_end + 2 > end:
            raise FormatError(f"unterminated key in the version block at {offset:#x}")
        key = block[offset + 6:key_end].decode("utf-16-le")
        value = _align4(key_end + 2)
        # Text values count UTF-16 units, binary ones bytes.
        value_bytes = value_length * 2 if kind == 1 else value_length
        children = _align4(value + value_bytes)
        return key, kind, block[value:value + value_bytes], children, end

    def walk(offset, path):
        nonlocal fixed
        key, kind, value, child, end = node(offset)
        here = path + [key]
        if here == ["VS_VERSION_INFO"]:
            fixed = _parse_fixed(value)
        elif len(here) == 4 and here[1] == "StringFileInfo":
            strings[key] = value.decode("utf-16-le").rstrip("\0")
        while child < end:
            child = _align4(walk(child, here))
        return end

    walk(0, [])
    if fixed is None:
        raise FormatError("no VS_VERSION_INFO block")
    return fixed, strings


def _parse_fixed(value: bytes):
    if len(value) < 52:
        raise FormatError("fixed file info too short")
    fields = struct.unpack_from("<13I", value)
    if fields[0] != 0xFEEF04BD:
        raise FormatError("fixed file info without its signature")

    def version(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    return {
        "file_version": version(fields[2], fields[3]),
        "product_version": version(fields[4], fields[5]),
        "file_type": fields[9],
    }
