"""The version resource of the built plug-in, read from its .rsrc: every
StringFileInfo value, and FILEVERSION and PRODUCTVERSION against the project
version.
  version_resource_test.py DLL VERSION KEY=VALUE...
"""
import sys
import unittest

from binary_image import Image

VFT_DLL = 2


class VersionResourceTest(unittest.TestCase):
    dll = None
    version = None
    expected = {}

    @classmethod
    def setUpClass(cls):
        cls.fixed, cls.strings = Image.open(cls.dll).version_resource()

    def test_fixed_versions_are_the_project_version(self):
        wanted = tuple(int(part) for part in self.version.split(".")) + (0,)
        self.assertEqual(self.fixed["file_version"], wanted, "FILEVERSION")
        self.assertEqual(self.fixed["product_version"], wanted, "PRODUCTVERSION")
        self.assertEqual(self.fixed["file_type"], VFT_DLL)

    def test_every_string_value(self):
        for key, value in self.expected.items():
            with self.subTest(key=key):
                self.assertEqual(self.strings.get(key), value)
        self.assertEqual(sorted(self.strings), sorted(self.expected), "keys of StringFileInfo")


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    VersionResourceTest.dll, VersionResourceTest.version = argv[1], argv[2]
    VersionResourceTest.expected = dict(pair.split("=", 1) for pair in argv[3:])
    unittest.main(argv=[argv[0], "-v"])


if __name__ == "__main__":
    main(sys.argv)
