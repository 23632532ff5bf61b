#!/usr/bin/env python3
"""Holds a manual page in step with its program's --help.

    man_page_test.py PROGRAM MAN_PAGE

Every long option that --help names is described under OPTIONS, and no other;
the exit statuses under EXIT STATUS are those that --help lists ("Exit status:
0 ...; 1 ...; 2 ..."); the page's NAME is the program's.
"""

import re
import subprocess
import sys
from pathlib import Path

OPTION = re.compile(r"(?<![\w-])--[a-z][a-z0-9-]*")


def help_text(program):
    result = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=30, check=False)
    if result.returncode != 0:
        raise SystemExit(f"{program} --help ended with status {result.returncode}")
    return result.stdout


def help_exit_statuses(text):
    """The statuses of the "Exit status:" paragraph: each part after a ';'
    begins with one."""
    match = re.search(r"Exit status:(.*?)(?:\n\s*\n|\Z)", text, re.S)
    if not match:
        raise SystemExit("--help has no 'Exit status:' paragraph")
    statuses = set()
    for part in match.group(1).split(";"):
        number = re.match(r"\s*(\d+)\s", part)
        if not number:
            raise SystemExit(f"--help: an exit status part without its number: {part.strip()!r}")
        statuses.add(int(number.group(1)))
    return statuses


def man_sections(source):
    """The page's sections as plain text lines, keyed by their .SH titles."""
    sections = {}
    title = None
    for line in source.splitlines():
        if line.startswith('.\\"'):
            continue
        heading = re.match(r'\.SH\s+"?([^"]*)"?\s*$', line)
        if heading:
            title = heading.group(1).strip()
            sections[title] = []
        elif title is not None:
            text = line.replace("\\-", "-").replace("\\c", "")
            text = re.sub(r"\\f[BIRP]", "", text)
            sections[title].append(text)
    return sections


def man_exit_statuses(lines):
    """The statuses of the .TP tags under EXIT STATUS."""
    statuses = set()
    for previous, line in zip(lines, lines[1:]):
        if previous.strip() == ".TP":
            tag = re.match(r"(?:\.B\s+)?(\d+)\s*$", line)
            if not tag:
                raise SystemExit(f"EXIT STATUS: a tag that is no status: {line!r}")
            statuses.add(int(tag.group(1)))
    return statuses


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    program, page = sys.argv[1], Path(sys.argv[2])
    name = Path(program).name
    text = help_text(program)
    sections = man_sections(page.read_text(encoding="utf-8"))
    problems = []
    for needed in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS"):
        if needed not in sections:
            problems.append(f"no {needed} section")
    if problems:
        raise SystemExit(f"{page.name}: " + "; ".join(problems))

    if not "\n".join(sections["NAME"]).lstrip().startswith(f"{name} - "):
        problems.append(f"NAME does not begin with '{name} - '")
    help_options = set(OPTION.findall(text))
    man_options = set(OPTION.findall("\n".join(sections["OPTIONS"])))
    for option in sorted(help_options - man_options):
        problems.append(f"{option} is in --help but not under OPTIONS")
    for option in sorted(man_options - help_options):
        problems.append(f"{option} is under OPTIONS but not in --help")
    help_statuses = help_exit_statuses(text)
    man_statuses = man_exit_statuses(sections["EXIT STATUS"])
    if help_statuses != man_statuses:
        problems.append(f"exit statuses: --help lists {sorted(help_statuses)}, " f"EXIT STATUS {sorted(man_statuses)}")
    if problems:
        for problem in problems:
            print(f"{page.name}: {problem}")
        return 1
    print(
        f"{page.name}: options {' '.join(sorted(help_options))} and exit statuses "
        f"{' '.join(map(str, sorted(help_statuses)))} as in {name} --help"
    )
    return 0


if __name__ == "__main__":
    sys.exit(main())
