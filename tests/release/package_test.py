"""Builds the release ZIP with cpack and checks what an integrator unpacks:
plugin/ holds the product alone with checksums that match; the simulated
modules and the tool lie in testbed/. The plug-in's debug information comes
in one of two forms:
  split  stripped, linked to its DWARF file by .gnu_debuglink (GCC, Linux)
  pdb    a PDB matched by the DLL's CodeView record, a symbol store in
         symbols/, and an Authenticode signature when a key is given (clang)
  package_test.py --cpack CPACK --config CONFIG --work WORK --plugin NAME
                  --simulated NAME... --tool NAME --debug split|pdb
                  [--tree DIR --build DIR --reproducible]
                  [--pdbutil TOOL --symbolizer TOOL --osslsigncode TOOL --openssl TOOL]
"""
import argparse
import hashlib
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
import zlib

from binary_image import Image

# What a Windows installation provides; the plug-in may import nothing else
# but the Morrow library.
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll",
                "ntdll.dll", "shell32.dll", "ws2_32.dll", "bcrypt.dll", "version.dll"}

options = None
packages = {}


def package(signing=None):
    """The package cpack makes, signed with SIGNING's environment if given, as
    {path below the package's top folder: bytes}; each made once."""
    key = tuple(sorted((signing or {}).items()))
    if key not in packages:
        packages[key] = make_package(options.work + ("-signed" if signing else ""), signing)
    return packages[key]


def make_package(work, env=None):
    work = pathlib.Path(work)
    shutil.rmtree(work, ignore_errors=True)
    # Only the signing asked for here, never one the caller's environment names.
    environment = {name: value for name, value in os.environ.items() if not name.startswith("KRONEL_SIGN_")}
    run = subprocess.run([options.cpack, "--config", options.config, "-G", "ZIP", "-B", str(work)],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                         env=dict(environment, **(env or {})))
    if run.returncode != 0:
        raise AssertionError(f"cpack failed:\n{run.stdout}")
    zips = list(work.glob("*.zip"))
    if len(zips) != 1:
        raise AssertionError(f"cpack made {len(zips)} ZIP files in {work}")
    files = {}
    with zipfile.ZipFile(zips[0]) as archive:
        for info in archive.infolist():
            if not info.is_dir():
                files[info.filename.partition("/")[2]] = archive.read(info)
    return files


def store_keys(image):
    """The symbol-store folders of the PDB and of the DLL, as a symbol server spells them."""
    guid, age, _ = image.codeview()
    data1, data2, data3 = struct.unpack_from("<IHH", guid)
    pdb_key = f"{data1:08X}{data2:04X}{data3:04X}{guid[8:].hex().upper()}{age:x}"
    return pdb_key, f"{image.time_stamp:08X}{image.image_size:x}"


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.files = package()
        cls.plugin = options.plugin
        cls.debug_file = (pathlib.Path(cls.plugin).stem + ".pdb" if options.debug == "pdb"
                          else cls.plugin + ".debug")

    def in_folder(self, folder):
        return {name[len(folder) + 1:] for name in self.files if name.startswith(folder + "/")}

    def test_plugin_folder_holds_the_product_alone(self):
        self.assertEqual(self.in_folder("plugin"), {self.plugin, self.debug_file, "SHA256SUMS"},
                         "nothing else, least of all a simulated module, which would stand in for the real one")

    def test_testbed_folder_holds_the_simulation_and_the_tool(self):
        testbed = self.in_folder("testbed")
        for name in options.simulated + [options.tool, "samples/sample-hardware.json",
                                         "samples/sample-changes.json", "samples/slow-start.json",
                                         "samples/service-restart.json", "docs/hardware-description.md"]:
            with self.subTest(name=name):
                self.assertIn(name, testbed)
        top = {name.partition("/")[0] if "/" in name else name for name in self.files}
        expected = {"plugin", "testbed", "README.md"}
        if options.debug == "pdb":
            expected |= {"symbols", "SIGNATURE.txt"}
        self.assertEqual(top, expected)

    def test_checksums_match_the_files(self):
        listed = {}
        for line in self.files["plugin/SHA256SUMS"].decode("ascii").splitlines():
            digest, _, name = line.partition("  ")
            listed[name] = digest
        self.assertEqual(set(listed), {self.plugin, self.debug_file})
        for name, digest in listed.items():
            with self.subTest(name=name):
                self.assertEqual(hashlib.sha256(self.files["plugin/" + name]).hexdigest(), digest)

    def test_plugin_needs_only_windows_and_the_morrow_library(self):
        image = Image(self.files["plugin/" + self.plugin])
        if image.kind != "pe":
            self.skipTest("the import check reads PE files")
        imports = {name.lower() for name in image.imports()}
        self.assertIn("kelmorrow.dll", imports)
        self.assertEqual(imports - WINDOWS_DLLS - {"kelmorrow.dll"}, set())

    def test_plugin_is_stripped_and_names_its_debug_file(self):
        image = Image(self.files["plugin/" + self.plugin])
        # DWARF would come from the static run-time archives; it has no place in either form.
        self.assertEqual([name for name in image.sections if name.startswith(".debug_")], [])
        if options.debug == "pdb":
            # The name alone: a debugger looks for it beside the DLL and on its symbol path.
            self.assertEqual(image.codeview()[2], self.debug_file)
            return
        link = image.section(".gnu_debuglink")
        self.assertEqual(link.partition(b"\0")[0].decode(), self.debug_file)
        crc = int.from_bytes(link[-4:], "little")
        self.assertEqual(crc, zlib.crc32(self.files["plugin/" + self.debug_file]), "debug link CRC")
        debug = Image(self.files["plugin/" + self.debug_file])
        for section in (".debug_info", ".debug_line"):
            with self.subTest(section=section):
                self.assertIn(section, debug.sections)


class PdbTest(unittest.TestCase):
    """The PDB and the symbol store, read with the LLVM tools as a Windows debugger would."""

    @classmethod
    def setUpClass(cls):
        if options.debug != "pdb":
            raise unittest.SkipTest("the plug-in comes with a DWARF file")
        cls.files = package()
        cls.plugin = options.plugin
        cls.pdb = pathlib.Path(cls.plugin).stem + ".pdb"
        cls.image = Image(cls.files["plugin/" + cls.plugin])
        cls.folder = tempfile.TemporaryDirectory()
        for name in (cls.plugin, cls.pdb):
            pathlib.Path(cls.folder.name, name).write_bytes(cls.files["plugin/" + name])

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def tool(self, *args):
        run = subprocess.run(args, cwd=self.folder.name, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True)
        self.assertEqual(run.returncode, 0, f"{args}:\n{run.stdout}")
        return run.stdout

    def test_pdb_guid_and_age_are_the_dlls(self):
        summary = self.tool(options.pdbutil, "dump", "-summary", self.pdb)
        guid = re.search(r"GUID: \{([0-9A-F-]+)\}", summary)
        age = re.search(r"Age: (\d+)", summary)
        self.assertTrue(guid and age, summary)
        pdb_key, _ = store_keys(self.image)
        # The registry form without its dashes is the symbol store's.
        self.assertEqual(guid.group(1).replace("-", "") + format(int(age.group(1)), "x"), pdb_key)

    def test_symbol_store_files_both_under_their_keys(self):
        pdb_key, dll_key = store_keys(self.image)
        store = {name for name in self.files if name.startswith("symbols/")}
        self.assertEqual(store, {f"symbols/{self.pdb}/{pdb_key}/{self.pdb}",
                                 f"symbols/{self.plugin}/{dll_key}/{self.plugin}"})
        self.assertEqual(self.files[f"symbols/{self.pdb}/{pdb_key}/{self.pdb}"], self.files["plugin/" + self.pdb])
        self.assertEqual(self.files[f"symbols/{self.plugin}/{dll_key}/{self.plugin}"],
                         self.files["plugin/" + self.plugin])

    def test_pdb_holds_the_exported_functions_and_ours(self):
        dump = self.tool(options.pdbutil, "dump", "-symbols", self.pdb)
        # S_GPROC32 [size = 60] `Name`
        #   parent = 0, end = 420, addr = 0001:137264, code size = 83
        procs = [(name, int(section), int(offset), int(size)) for name, section, offset, size in re.findall(
            r"S_[GL]PROC32 \[size = \d+\] `([^`]+)`\s+parent = \d+, end = \d+, "
            r"addr = (\d+):(\d+), code size = (\d+)", dump)]
        addresses = [section[2] for section in self.image.sections.values()]
        names = {name for name, _, _, _ in procs}
        self.assertIn("provider::GetIOControlNames", names)
        exports = self.image.exports()
        self.assertTrue(exports)
        for export, rva in exports.items():
            with self.subTest(export=export):
                holders = [name for name, section, offset, size in procs
                           if 0 < section <= len(addresses)
                           and addresses[section - 1] + offset <= rva < addresses[section - 1] + offset + size]
                # An alias lies in the function it names.
                self.assertEqual(len(holders), 1, holders)
                self.assertIn(holders[0], exports)
                self.assertEqual(exports[holders[0]], rva)

    def test_symbolizer_maps_an_export_to_its_source_line(self):
        rva = self.image.exports()["GetIOControlNames"]
        for offset in (0, 1):
            with self.subTest(offset=offset):
                out = self.tool(options.symbolizer, "--obj=" + self.plugin, "--relative-address",
                                hex(rva + offset)).splitlines()
                self.assertEqual(out[0], "GetIOControlNames", out)
                self.assertRegex(out[1], r"^src[/\\]provider[/\\][\w.]+:[1-9]\d*:\d+$")

    def test_no_path_of_the_build_machine(self):
        places = {f"plugin/{self.plugin}": self.files["plugin/" + self.plugin]}
        if options.reproducible:
            places[f"plugin/{self.pdb}"] = self.files["plugin/" + self.pdb]
        for folder in (options.tree, options.build):
            for form in {folder, folder.replace("/", "\\")}:
                for encoding in ("utf-8", "utf-16-le"):
                    for name, data in places.items():
                        with self.subTest(file=name, path=form, encoding=encoding):
                            self.assertNotIn(form.encode(encoding), data)


class SigningTest(unittest.TestCase):
    """A package signed with a throwaway key, verified against its certificate."""

    @classmethod
    def setUpClass(cls):
        if options.debug != "pdb":
            raise unittest.SkipTest("only the Windows DLL is signed")
        cls.plugin = options.plugin
        cls.keys = tempfile.TemporaryDirectory()
        keys = pathlib.Path(cls.keys.name)
        (keys / "openssl.cnf").write_text(
            "[req]\ndistinguished_name = dn\nx509_extensions = ext\nprompt = no\n"
            "[dn]\nCN = kronel_ztprovider package test\n"
            "[ext]\nbasicConstraints = critical, CA:FALSE\nkeyUsage = critical, digitalSignature\n"
            "extendedKeyUsage = codeSigning\nsubjectKeyIdentifier = hash\n")
        for args in (["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "key.pem", "-out", "cert.pem",
                      "-days", "2", "-config", "openssl.cnf"],
                     ["pkcs12", "-export", "-inkey", "key.pem", "-in", "cert.pem", "-out", "sign.pfx",
                      "-passout", "pass:throwaway"]):
            subprocess.run([options.openssl] + args, cwd=keys, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        (keys / "password").write_text("throwaway")
        cls.files = package({"KRONEL_SIGN_PFX": str(keys / "sign.pfx"),
                             "KRONEL_SIGN_PASSWORD_FILE": str(keys / "password")})
        cls.unsigned = package()

    @classmethod
    def tearDownClass(cls):
        cls.keys.cleanup()

    def verify(self, data):
        path = pathlib.Path(self.keys.name, "check.dll")
        path.write_bytes(data)
        return subprocess.run([options.osslsigncode, "verify", "-in", str(path),
                               "-CAfile", str(pathlib.Path(self.keys.name, "cert.pem"))],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def test_signature_verifies_and_fails_once_a_byte_changes(self):
        signed = self.files["plugin/" + self.plugin]
        run = self.verify(signed)
        self.assertEqual(run.returncode, 0, run.stdout)
        offset, size, _ = Image(signed).sections[".text"]
        flipped = bytearray(signed)
        flipped[offset + size // 2] ^= 0x01
        self.assertNotEqual(self.verify(bytes(flipped)).returncode, 0, "a changed byte still verified")
        unsigned = self.unsigned["plugin/" + self.plugin]
        self.assertNotEqual(self.verify(unsigned).returncode, 0, "the unsigned DLL verified")

    def test_package_says_whether_it_is_signed(self):
        self.assertRegex(self.unsigned["SIGNATURE.txt"].decode(), rf"^plugin/{self.plugin} is not signed\.\n$")
        self.assertRegex(self.files["SIGNATURE.txt"].decode(),
                         rf"^plugin/{self.plugin} is signed \(Authenticode, SHA-256\), without a time stamp")

    def test_checksums_and_symbol_store_hold_the_signed_dll(self):
        signed = self.files["plugin/" + self.plugin]
        self.assertIn(f"{hashlib.sha256(signed).hexdigest()}  {self.plugin}",
                      self.files["plugin/SHA256SUMS"].decode().splitlines())
        _, dll_key = store_keys(Image(signed))
        self.assertEqual(self.files[f"symbols/{self.plugin}/{dll_key}/{self.plugin}"], signed)
        # Signing leaves the code and the PDB alone.
        self.assertEqual(store_keys(Image(signed)), store_keys(Image(self.unsigned["plugin/" + self.plugin])))


def parse(argv):
    parser = argparse.ArgumentParser(usage=__doc__)
    for name in ("cpack", "config", "work", "plugin", "tool"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--simulated", nargs="+", required=True)
    parser.add_argument("--debug", choices=("split", "pdb"), required=True)
    parser.add_argument("--tree", default="")
    parser.add_argument("--build", default="")
    parser.add_argument("--reproducible", action="store_true")
    for name in ("pdbutil", "symbolizer", "osslsigncode", "openssl"):
        parser.add_argument("--" + name)
    parsed, rest = parser.parse_known_args(argv[1:])
    if parsed.debug == "pdb":
        missing = [name for name in ("tree", "build", "pdbutil", "symbolizer", "osslsigncode", "openssl")
                   if not getattr(parsed, name)]
        if missing:
            parser.error("the pdb form needs --" + ", --".join(missing))
    return parsed, rest


if __name__ == "__main__":
    options, rest = parse(sys.argv)
    unittest.main(argv=[sys.argv[0], "-v"] + rest)
