#!/usr/bin/env python3
"""Fails when a CMake file of the project breaks the layout the others keep, and prints where.

A command starts two spaces in per enclosing block (if, foreach, function...), its
continuation lines further in (a closing ")" may stand under the command); comments start with "# "; no tabs, no trailing blanks; no
blank around a "/" (a C++ formatter once turned ${PROJECT_SOURCE_DIR}/src into three
folders); no space between a command and its "(".
    scripts/check-cmake-format.py [FILE...]     (default: every CMake file git knows)
"""
import os
import re
import subprocess
import sys

OPENERS = {"if", "foreach", "while", "function", "macro", "block"}
CLOSERS = {"endif", "endforeach", "endwhile", "endfunction", "endmacro", "endblock"}
MIDDLES = {"else", "elseif"}
BRACKET_OPEN = re.compile(r"\[(=*)\[")


def code_of(line, state):
    """The line without its comment and with quoted and bracket text blanked, so that only
    the commands' own words and parentheses remain. `state` carries an open quote or
    bracket argument over to the next line."""
    out = []
    i = 0
    while i < len(line):
        if state["quote"]:
            if line[i] == "\\":
                out.append("  ")
                i += 2
                continue
            if line[i] == '"':
                state["quote"] = False
                out.append('"')
            else:
                out.append(" ")
            i += 1
            continue
        if state["bracket"] is not None:
            end = line.find("]" + state["bracket"] + "]", i)
            if end < 0:
                out.append(" " * (len(line) - i))
                break
            out.append(" " * (end - i + len(state["bracket"]) + 2))
            i = end + len(state["bracket"]) + 2
            state["bracket"] = None
            continue
        char = line[i]
        bracket = BRACKET_OPEN.match(line, i)
        if char == "#":
            bracket = BRACKET_OPEN.match(line, i + 1)
            if bracket:  # a bracket comment
                state["bracket"] = bracket.group(1)
                out.append(" " * (bracket.end() - i))
                i = bracket.end()
                continue
            break
        if bracket:
            state["bracket"] = bracket.group(1)
            out.append(" " * (bracket.end() - i))
            i = bracket.end()
            continue
        if char == '"':
            state["quote"] = True
        out.append(char)
        i += 1
    return "".join(out)


def check(path):
    problems = []
    with open(path, encoding="utf-8") as file:
        text = file.read()
    if text and not text.endswith("\n"):
        problems.append((len(text.splitlines()), "no newline at the end of the file"))
    depth = 0  # enclosing blocks
    parens = 0  # open parentheses of the current command
    command_indent = 0
    state = {"quote": False, "bracket": None}
    for number, line in enumerate(text.splitlines(), 1):
        def report(message):
            problems.append((number, message))

        inside_text = state["quote"] or state["bracket"] is not None
        if "\t" in line:
            report("a tab")
        if line != line.rstrip():
            report("blanks at the end of the line")
        indent = len(line) - len(line.lstrip(" "))
        stripped = line.strip()
        code = code_of(line, state)
        if inside_text or not stripped:
            parens = max(0, parens + code.count("(") - code.count(")"))
            continue
        if stripped.startswith("#"):
            if re.match(r"#(?![ \[!]|$)", stripped):
                report('a comment without a blank after "#"')
            if parens == 0 and indent != 2 * depth:
                report(f"a comment indented {indent}, not {2 * depth}")
            continue
        if parens == 0:
            name = re.match(r"(\w+)\s*(\(?)", stripped)
            word = name.group(1).lower() if name else ""
            if name and name.group(2) and re.match(r"\w+\s+\(", stripped):
                report(f'a blank between "{word}" and its "("')
            if word in CLOSERS:
                depth = max(0, depth - 1)
            expected = 2 * (depth - 1 if word in MIDDLES else depth)
            if indent != expected:
                report(f"{word or 'a command'} indented {indent}, not {expected}")
            if word in OPENERS:
                depth += 1
            command_indent = indent
        elif indent <= command_indent and not stripped.startswith(")"):
            report("a continuation line not indented beyond its command")
        # Outside quotes a blank never follows a "/", nor comes between a variable and one.
        if re.search(r"/\s|\}\s+/", code):
            report('a blank beside "/" (a path split into several)')
        parens = max(0, parens + code.count("(") - code.count(")"))
    return problems


def main():
    if len(sys.argv) == 1:
        os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    files = sys.argv[1:] or subprocess.run(
        ["git", "ls-files", "CMakeLists.txt", "*/CMakeLists.txt", "*.cmake"],
        check=True, capture_output=True, text=True).stdout.split()
    status = 0
    for path in files:
        for number, message in check(path):
            print(f"{path}:{number}: {message}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
