#!/usr/bin/env python3
"""Writes the language files and the built-in English table from tools/lang/master.tsv.

    generate.py           write Data/lang_files/{English,German,Russian}, core/LangTextsEnglish.inc
                          and ui/main/LangTargets.inc
    generate.py --check   write nothing; exit 1 when a generated file differs from the master table

The language files are UTF-8 without a byte-order mark, one text per line, every line ended by
CR LF, 409 lines. Texts in the table write a leading or trailing blank as U+2423.
"""

import argparse
import pathlib
import sys

LINE_COUNT = 409
LANGUAGES = ("English", "German", "Russian")
BLANK_MARK = "\u2423"

ROOT = pathlib.Path(__file__).resolve().parents[2]
MASTER = ROOT / "tools" / "lang" / "master.tsv"
LANG_FOLDER = ROOT / "Data" / "lang_files"
ENGLISH_INC = ROOT / "core" / "LangTextsEnglish.inc"
TARGETS_INC = ROOT / "ui" / "main" / "LangTargets.inc"

# Properties a target may name: the control's caption, its pop-up hint, the text of the tab that
# shows it, the window's title, a grid column's header caption, a combo box item.
PROPERTIES = {"text": "lpText", "hint": "lpHint", "tab": "lpTab", "title": "lpTitle"}
NAME_CHARS = set("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_")


class MasterError(Exception):
    pass


def unmark(text, where):
    core = text.strip(BLANK_MARK)
    if BLANK_MARK in core:
        raise MasterError(f"{where}: {BLANK_MARK} may only stand at the start or end of a text")
    if core != core.strip():
        raise MasterError(f"{where}: write leading or trailing blanks as {BLANK_MARK}")
    lead = len(text) - len(text.lstrip(BLANK_MARK))
    trail = len(text) - len(text.rstrip(BLANK_MARK))
    return " " * lead + core + " " * trail


def is_name(text):
    return bool(text) and set(text) <= NAME_CHARS and not text[0].isdigit()


def parse_targets(field, where):
    """'-' or 'Window.Object:property; ...' -> [(window, object, property, column, item)]."""
    if field == "-":
        return []
    targets = []
    for entry in field.split("; "):
        control, _, prop = entry.partition(":")
        window, _, obj = control.partition(".")
        column, item = "", -1
        if prop.startswith("header="):
            prop, column = "header", prop[len("header="):]
            if not is_name(column):
                raise MasterError(f"{where}: bad column name in {entry!r}")
        elif prop.startswith("item="):
            prop, number = "item", prop[len("item="):]
            if not number.isdigit():
                raise MasterError(f"{where}: bad item index in {entry!r}")
            item = int(number)
        elif prop not in PROPERTIES:
            raise MasterError(f"{where}: unknown property in {entry!r}")
        if not is_name(window) or (obj and not is_name(obj)) or (not obj and prop != "title"):
            raise MasterError(f"{where}: expected Window.Object:property, found {entry!r}")
        targets.append((window, obj, prop, column, item))
    return targets


def read_master(path):
    """Returns {language: [409 texts]}, the list of (line, used_by) and the list of targets."""
    texts = {language: [] for language in LANGUAGES}
    roles = []
    targets = []
    header_seen = False
    for number, raw in enumerate(path.read_text(encoding="utf-8").split("\n"), start=1):
        where = f"{path.name}:{number}"
        if raw == "" or raw.startswith("#"):
            continue
        if "\r" in raw:
            raise MasterError(f"{where}: carriage return in the table")
        fields = raw.split("\t")
        if not header_seen:
            if fields != ["line", "used_by", "targets", *LANGUAGES]:
                raise MasterError(f"{where}: expected the header line")
            header_seen = True
            continue
        if len(fields) != 3 + len(LANGUAGES):
            raise MasterError(f"{where}: expected {3 + len(LANGUAGES)} tab-separated fields")
        line, used_by = fields[0], fields[1].strip()
        if line != str(len(roles)):
            raise MasterError(f"{where}: expected line {len(roles)}, found {line!r}")
        values = [unmark(value, where) for value in fields[3:]]
        unused = used_by == "unused"
        line_targets = parse_targets(fields[2].strip(), where)
        if unused and line_targets:
            raise MasterError(f"{where}: an unused line has no targets")
        targets.extend((int(line), *target) for target in line_targets)
        if not used_by:
            raise MasterError(f"{where}: the used_by column is empty")
        for language, value in zip(LANGUAGES, values):
            if unused and value:
                raise MasterError(f"{where}: an unused line must stay empty")
            if not unused and not value.strip():
                raise MasterError(f"{where}: {language} text missing")
            texts[language].append(value)
        roles.append((int(line), used_by))
    if len(roles) != LINE_COUNT:
        raise MasterError(f"{path.name}: {len(roles)} lines, expected {LINE_COUNT}")
    return texts, roles, targets


def language_file_bytes(lines):
    return "".join(line + "\r\n" for line in lines).encode("utf-8")


def c_string(text):
    """A C string literal holding the UTF-8 bytes of text (octal escapes never run on)."""
    out = []
    for byte in text.encode("utf-8"):
        char = chr(byte)
        if char in "\\\"":
            out.append("\\" + char)
        elif 0x20 <= byte < 0x7F and char != "?":
            out.append(char)
        else:
            out.append(f"\\{byte:03o}")
    return '"' + "".join(out) + '"'


def english_inc_bytes(lines, roles):
    out = [
        "// The English language texts built into the program, the fallback when no language file can",
        "// be read. Generated by tools/lang/generate.py from tools/lang/master.tsv; do not edit.",
        "",
        "const char* const LangTextsEnglishLines[] = {",
    ]
    for (line, used_by), text in zip(roles, lines):
        out.append(f"    /* {line} */ {c_string(text)},")
    out.append("};")
    return ("\n".join(out) + "\n").encode("utf-8")


def targets_inc_bytes(targets):
    out = [
        "// The controls each language line is shown in: line, window, control (empty: the window",
        "// itself), property, column of a header, index of a combo item. Generated by",
        "// tools/lang/generate.py from tools/lang/master.tsv; do not edit.",
        "",
        "const TLangTarget LangTargetRows[] = {",
    ]
    for line, window, obj, prop, column, item in targets:
        kind = {"header": "lpHeader", "item": "lpItem"}.get(prop) or PROPERTIES[prop]
        out.append(f'    {{{line}, "{window}", "{obj}", {kind}, "{column}", {item}}},')
    out.append("};")
    return ("\n".join(out) + "\n").encode("utf-8")


def outputs():
    texts, roles, targets = read_master(MASTER)
    files = {LANG_FOLDER / language: language_file_bytes(texts[language]) for language in LANGUAGES}
    files[ENGLISH_INC] = english_inc_bytes(texts["English"], roles)
    files[TARGETS_INC] = targets_inc_bytes(targets)
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare the generated files with the master table, write nothing")
    args = parser.parse_args()
    try:
        files = outputs()
    except MasterError as error:
        print(f"generate.py: {error}", file=sys.stderr)
        return 2

    if args.check:
        stale = [path for path, data in files.items()
                 if not path.is_file() or path.read_bytes() != data]
        for path in stale:
            print(f"generate.py: {path.relative_to(ROOT)} differs from the master table",
                  file=sys.stderr)
        return 1 if stale else 0

    for path, data in files.items():
        path.parent.mkdir(parents=True, exist_ok=True)
        if path.is_file() and path.read_bytes() == data:
            continue
        temporary = path.with_name(path.name + ".tmp")
        temporary.write_bytes(data)
        temporary.replace(path)
        print(f"wrote {path.relative_to(ROOT)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
