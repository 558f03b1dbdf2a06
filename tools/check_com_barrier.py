#!/usr/bin/env python3
"""Fails when a method that COM calls does not run its body behind the barrier.

Every STDMETHODIMP body in the given files must either return through one of the barrier
calls (vantrel::com::Barrier or a class's own wrapper built on it), after nothing but
pointer checks, or be unable to throw: it calls nothing but the platform's C functions
(::Name), COM reference counting and macros or casts (upper-case names). IUnknown's own
three members are exempt. Prints each offender with its line and exits 1.
"""
import re
import sys

BARRIERS = ("vantrel::com::Barrier(", "Barrier(", "Guard(", "Changed(Guard(", "TextResult(", "ListResult(",
            "OwnedListResult(")
EXEMPT = {"QueryInterface", "AddRef", "Release"}
HEAD = re.compile(r"STDMETHODIMP(?:_\([^)]*\))?\s+([\w:]+)\s*\(")
# Statements that may come before the barrier: they cannot throw.
PREAMBLE = re.compile(r"^(if \([^()]*\) (return [A-Z_]+;|\*[\w]+ = (nullptr|0);)|\*\w+ = (nullptr|0);)$")


def skip_literal(text, i):
    quote = text[i]
    i += 1
    while i < len(text) and text[i] != quote:
        i += 2 if text[i] == "\\" else 1
    return i + 1


def match(text, i, open_c, close_c):
    """Index just past the bracket that closes the one at i."""
    depth = 0
    while i < len(text):
        c = text[i]
        if c in "\"'":
            i = skip_literal(text, i)
            continue
        if text.startswith("//", i):
            i = text.index("\n", i)
            continue
        if text.startswith("/*", i):
            i = text.index("*/", i) + 2
            continue
        if c == open_c:
            depth += 1
        elif c == close_c:
            depth -= 1
            if depth == 0:
                return i + 1
        i += 1
    raise ValueError("unbalanced")


def methods(text):
    """(name, start of body brace, end past the closing brace) of each defined method."""
    for m in HEAD.finditer(text):
        params_end = match(text, m.end() - 1, "(", ")")
        j = params_end
        while j < len(text) and text[j] not in "{;":
            j += 1
        if j >= len(text) or text[j] == ";":
            continue
        yield m.group(1).split("::")[-1], j, match(text, j, "{", "}")


def statements(body):
    inner = re.sub(r"//[^\n]*", "", body[1:-1])
    return " ".join(inner.split())


CALL = re.compile(r"(::|->|\.)?\b([A-Za-z_]\w*)\s*\(")
KEYWORDS = {"if", "while", "for", "switch", "return", "sizeof"}


def cannot_throw(flat):
    if " new " in f" {flat}" and "std::nothrow" not in flat:
        return False
    for m in CALL.finditer(flat):
        scope, name = m.group(1), m.group(2)
        if name in KEYWORDS or name.isupper() or name.startswith("STD") or name == "__uuidof":
            continue
        if scope == "::" and flat[max(0, m.start() - 1)] in " (!=":  # the platform's C functions
            continue
        if scope == "->" and name in ("AddRef", "Release"):
            continue
        return False
    return True


def guarded(name, body):
    if name in EXEMPT:
        return True
    flat = statements(body)
    if cannot_throw(flat):
        return True
    parts = [p.strip() + ";" for p in flat.split(";") if p.strip()]
    while parts and PREAMBLE.match(parts[0]):
        parts.pop(0)
    rest = " ".join(parts)
    return any(rest.startswith("return " + b) for b in BARRIERS) and rest.endswith(";")


def main(paths):
    bad = 0
    for path in paths:
        text = open(path, encoding="utf-8").read()
        for name, start, end in methods(text):
            if not guarded(name, text[start:end]):
                print(f"{path}:{text.count(chr(10), 0, start) + 1}: {name} runs outside the barrier")
                bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
