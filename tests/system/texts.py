"""The texts the tool should show, read from its own string tables (resources/strings_*.rc)."""
import os
import re

_ENTRY = re.compile(r'^\s*(IDS_\w+)\s+"((?:[^"]|"")*)"\s*$')


def _unescape(text):
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c == '"' and text[i + 1:i + 2] == '"':
            out.append('"')
            i += 2
            continue
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "t": "\t", "\\": "\\", '"': '"'}.get(nxt, "\\" + nxt))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def load_strings(source_dir, lang):
    """Maps IDS_ names to their text for lang ('en' or 'ja')."""
    path = os.path.join(source_dir, "resources", "strings_%s.rc" % lang)
    table = {}
    in_table = False
    with open(path, encoding="utf-8") as rc:
        for line in rc:
            stripped = line.strip()
            if stripped == "BEGIN":
                in_table = True
            elif stripped == "END":
                in_table = False
            elif in_table:
                match = _ENTRY.match(line)
                if match:
                    table[match.group(1)] = _unescape(match.group(2))
    missing = {"IDS_TITLE", "IDS_READY", "IDS_NOT_FOUND", "IDS_FAILED", "IDS_DONE",
               "IDS_TRANSFERRING", "IDS_TRANSFER", "IDS_EXIT", "IDS_RETRY",
               "IDS_SEVERAL_PRINTERS"} - set(table)
    if missing:
        raise ValueError("%s lacks %s" % (path, sorted(missing)))
    return table


# What each state of the update dialog shows: message, action button text (None: hidden).
STATE_TEXTS = {
    "ready": ("IDS_READY", "IDS_TRANSFER"),
    "not_found": ("IDS_NOT_FOUND", "IDS_RETRY"),
    "several": ("IDS_SEVERAL_PRINTERS", "IDS_RETRY"),
    "failed": ("IDS_FAILED", "IDS_RETRY"),
    "done": ("IDS_DONE", None),
    # A build that knows its firmware's revision.
    "current": ("IDS_CURRENT", "IDS_TRANSFER"),
    "newer": ("IDS_NEWER", "IDS_TRANSFER"),
    "confirmed": ("IDS_DONE_CONFIRMED", None),
    "unconfirmed": ("IDS_UNCONFIRMED", "IDS_RETRY"),
}
