"""Prints the service SID Windows gives a service: S-1-5-80- followed by the
SHA-1 of the upper-case service name in UTF-16LE, as five little-endian
32-bit numbers. The suite's service identity in common/shared_objects.h is
this for "Talvex Updater"."""
import hashlib
import struct
import sys


def service_sid(name):
    digest = hashlib.sha1(name.upper().encode("utf-16-le")).digest()
    return "S-1-5-80-" + "-".join(str(part) for part in struct.unpack("<5I", digest))


if __name__ == "__main__":
    print(service_sid(sys.argv[1] if len(sys.argv) > 1 else "Talvex Updater"))
