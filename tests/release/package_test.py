"""Builds the release ZIP with cpack and checks what an integrator unpacks:
plugin/ holds the product alone, stripped and linked to its debug file, with
checksums that match; the simulated modules and the tool lie in testbed/.
  package_test.py CPACK CONFIG WORK PLUGIN SIMULATED... -- TOOL
"""
import hashlib
import pathlib
import shutil
import subprocess
import sys
import unittest
import zipfile
import zlib

from binary_image import Image

# What a Windows installation provides; the plug-in may import nothing else
# but the Morrow library.
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll",
                "ntdll.dll", "shell32.dll", "ws2_32.dll", "bcrypt.dll", "version.dll"}


class PackageTest(unittest.TestCase):
    cpack = config = work = plugin = tool = None
    simulated = []

    @classmethod
    def setUpClass(cls):
        work = pathlib.Path(cls.work)
        shutil.rmtree(work, ignore_errors=True)
        run = subprocess.run([cls.cpack, "--config", cls.config, "-G", "ZIP", "-B", str(work)],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if run.returncode != 0:
            raise AssertionError(f"cpack failed:\n{run.stdout}")
        zips = list(work.glob("*.zip"))
        if len(zips) != 1:
            raise AssertionError(f"cpack made {len(zips)} ZIP files in {work}")
        cls.files = {}
        with zipfile.ZipFile(zips[0]) as archive:
            for info in archive.infolist():
                if info.is_dir():
                    continue
                _, _, rest = info.filename.partition("/")
                cls.files[rest] = archive.read(info)

    def in_folder(self, folder):
        return {name[len(folder) + 1:] for name in self.files if name.startswith(folder + "/")}

    def test_plugin_folder_holds_the_product_alone(self):
        plugin = self.in_folder("plugin")
        self.assertEqual(plugin, {self.plugin, self.plugin + ".debug", "SHA256SUMS"},
                         "nothing else, least of all a simulated module, which would stand in for the real one")

    def test_testbed_folder_holds_the_simulation_and_the_tool(self):
        testbed = self.in_folder("testbed")
        for name in self.simulated + [self.tool, "samples/sample-hardware.json", "samples/sample-changes.json",
                                      "docs/hardware-description.md"]:
            with self.subTest(name=name):
                self.assertIn(name, testbed)
        outside = {name for name in self.files if not name.startswith(("plugin/", "testbed/"))}
        self.assertEqual(outside, {"README.md"})

    def test_checksums_match_the_files(self):
        lines = self.files["plugin/SHA256SUMS"].decode("ascii").splitlines()
        listed = {}
        for line in lines:
            digest, _, name = line.partition("  ")
            listed[name] = digest
        self.assertEqual(set(listed), {self.plugin, self.plugin + ".debug"})
        for name, digest in listed.items():
            with self.subTest(name=name):
                self.assertEqual(hashlib.sha256(self.files["plugin/" + name]).hexdigest(), digest)

    def test_plugin_is_stripped_and_names_its_debug_file(self):
        image = Image(self.files["plugin/" + self.plugin])
        self.assertEqual([name for name in image.sections if name.startswith(".debug_")], [])
        link = image.section(".gnu_debuglink")
        name = link.partition(b"\0")[0]
        self.assertEqual(name.decode(), self.plugin + ".debug")
        crc = int.from_bytes(link[-4:], "little")
        self.assertEqual(crc, zlib.crc32(self.files["plugin/" + self.plugin + ".debug"]), "debug link CRC")
        debug = Image(self.files["plugin/" + self.plugin + ".debug"])
        for section in (".debug_info", ".debug_line"):
            with self.subTest(section=section):
                self.assertIn(section, debug.sections)

    def test_plugin_needs_only_windows_and_the_morrow_library(self):
        image = Image(self.files["plugin/" + self.plugin])
        if image.kind != "pe":
            self.skipTest("the import check reads PE files")
        imports = {name.lower() for name in image.imports()}
        self.assertIn("kelmorrow.dll", imports)
        self.assertEqual(imports - WINDOWS_DLLS - {"kelmorrow.dll"}, set())


def main(argv):
    if "--" not in argv or argv.index("--") < 6:
        sys.exit(__doc__)
    split = argv.index("--")
    PackageTest.cpack, PackageTest.config, PackageTest.work, PackageTest.plugin = argv[1:5]
    PackageTest.simulated = argv[5:split]
    PackageTest.tool = argv[split + 1]
    unittest.main(argv=[argv[0], "-v"])


if __name__ == "__main__":
    main(sys.argv)
