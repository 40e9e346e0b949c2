#!/usr/bin/env python3
"""Builds "Tarnwick Help.html", the help page shipped beside Tarnwick.exe, from its source.

The source page (resources/help/index.html) shows the screenshots by relative path, so that
it can be opened from the source tree. The page a user gets must work as one file, offline:
every <img src="..."> that names a file is replaced by the PNG's bytes as a data: URI. An
image that is missing, unreadable or not a PNG fails the build; no half-made page is left
behind (the output is written under a temporary name and renamed at the end).

usage: build-help.py SOURCE.html OUTPUT.html
"""

import base64
import html
import os
import re
import sys
import urllib.parse

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"

# The src attribute of an <img> tag, quoted with " or '.
IMG_SRC = re.compile(r"""(<img\b[^>]*?\bsrc\s*=\s*)(["'])(.*?)\2""", re.IGNORECASE | re.DOTALL)


class HelpBuildError(Exception):
    pass


def inline_images(page, base_dir):
    """The page with each file-named image replaced by a data: URI."""

    def replace(match):
        prefix, quote, src = match.group(1), match.group(2), match.group(3)
        if src.startswith("data:"):
            return match.group(0)
        if re.match(r"^[a-z][a-z0-9+.-]*:", src, re.IGNORECASE):
            raise HelpBuildError("image is not a local file: %s" % src)
        # As a browser reads it: character references, then percent-escapes.
        relative = urllib.parse.unquote(html.unescape(src))
        path = os.path.normpath(os.path.join(base_dir, relative))
        try:
            with open(path, "rb") as image:
                data = image.read()
        except OSError as error:
            raise HelpBuildError("missing image %s (%s)" % (src, error.strerror))
        if not data.startswith(PNG_SIGNATURE):
            raise HelpBuildError("not a PNG image: %s" % src)
        encoded = base64.b64encode(data).decode("ascii")
        return "%s%sdata:image/png;base64,%s%s" % (prefix, quote, encoded, quote)

    return IMG_SRC.sub(replace, page)


def build(source, output):
    with open(source, encoding="utf-8") as f:
        page = f.read()
    built = inline_images(page, os.path.dirname(os.path.abspath(source)))
    temporary = output + ".part"
    with open(temporary, "w", encoding="utf-8", newline="\n") as f:
        f.write(built)
    os.replace(temporary, output)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: build-help.py SOURCE.html OUTPUT.html\n")
        return 2
    source, output = argv[1], argv[2]
    try:
        build(source, output)
    except (HelpBuildError, OSError) as error:
        # A stale page from an earlier build must not pass for this one.
        for leftover in (output, output + ".part"):
            if os.path.exists(leftover):
                os.remove(leftover)
        sys.stderr.write("build-help.py: %s: %s\n" % (source, error))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
