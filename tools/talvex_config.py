"""Configuration-file helpers for the scripts: the password scrambling the
programs use, with the key read from the one header that defines it."""
import os
import re
import sys

_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common", "config_keys.h")


def password_key():
    with open(_HEADER, encoding="ascii") as header:
        return re.search(r'kPasswordKey\[\] = "([^"]+)"', header.read()).group(1).encode("ascii")


def scramble(password):
    """Repeating-key XOR as lowercase hexadecimal, as the programs store it."""
    key = password_key()
    return "".join("%02x" % (c ^ key[i % len(key)]) for i, c in enumerate(password.encode("latin-1")))


if __name__ == "__main__":
    # talvex_config.py scramble PASSWORD: prints the stored form.
    if len(sys.argv) == 3 and sys.argv[1] == "scramble":
        print(scramble(sys.argv[2]))
    else:
        sys.exit("usage: talvex_config.py scramble PASSWORD")
