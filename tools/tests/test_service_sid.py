"""The service identity named in the shared header is the one Windows gives
the service "Talvex Updater"."""
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from service_sid import service_sid  # noqa: E402

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "common", "shared_objects.h")


class ServiceSid(unittest.TestCase):
    def test_header_names_the_service_sid_of_talvex_updater(self):
        with open(HEADER, encoding="ascii") as header:
            named = re.search(r'#define TALVEX_SERVICE_SID "([^"]+)"', header.read()).group(1)
        self.assertEqual(service_sid("Talvex Updater"), named)


if __name__ == "__main__":
    unittest.main()
