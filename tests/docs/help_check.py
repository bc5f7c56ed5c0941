#!/usr/bin/python3
"""Checks the user's guide as a reader and a strict parser see it:
- help.htm parses without a single error in html5lib's strict mode and is
  well-formed XML as well;
- every section is a <section> with an id and one <h2>, the contents list
  links to each, and prose is never set in a code block;
- help.txt keeps within 72 columns and has the same sections;
- both are what scripts/make_help.py writes from its one text.
Usage: help_check.py SOURCE_DIR"""
import pathlib
import subprocess
import sys
import xml.etree.ElementTree as ET

import html5lib

root = pathlib.Path(sys.argv[1])
htm = (root / "resources/help.htm").read_text(encoding="utf-8")
txt = (root / "resources/help.txt").read_text(encoding="utf-8")
failures = []

try:
    html5lib.HTMLParser(strict=True, namespaceHTMLElements=False).parse(htm)
except html5lib.html5parser.ParseError as error:
    failures.append(f"help.htm is not valid HTML: {error}")

try:
    doc = ET.fromstring(htm.split("\n", 1)[1])  # past the doctype
except ET.ParseError as error:
    failures.append(f"help.htm is not well-formed: {error}")
    doc = None

if doc is not None:
    body = doc.find("body")
    sections = body.findall("section")
    if len(sections) < 8:
        failures.append(f"only {len(sections)} sections")
    ids = [s.get("id") for s in sections]
    links = [a.get("href") for a in body.find("nav").iter("a")]
    if links != ["#" + i for i in ids]:
        failures.append(f"the contents list {links} does not match the sections {ids}")
    for s in sections:
        if len(s.findall("h2")) != 1:
            failures.append(f"section {s.get('id')} has no single heading")
    for pre in body.iter("pre"):
        text = "".join(pre.itertext())
        if not text.startswith("sonivel"):
            failures.append(f"prose in a code block: {text[:40]!r}")
    titles = ["".join(s.find("h2").itertext()) for s in sections]
    for title in titles:
        if title not in txt:
            failures.append(f"help.txt lacks the section {title!r}")

for number, line in enumerate(txt.split("\n"), 1):
    if len(line) > 72:
        failures.append(f"help.txt line {number} is {len(line)} columns wide")

generated = subprocess.run(
    [sys.executable, "-c",
     "import importlib.util, sys; spec = importlib.util.spec_from_file_location('m', sys.argv[1]); "
     "m = importlib.util.module_from_spec(spec); spec.loader.exec_module(m); "
     "sys.stdout.write(m.make_html() + '\\0' + m.make_text())",
     str(root / "scripts/make_help.py")], capture_output=True, text=True, check=True).stdout
if generated != htm + "\0" + txt:
    failures.append("help.htm or help.txt differs from what scripts/make_help.py writes: run it")

for f in failures:
    print("FAIL:", f)
print(f"{len(failures)} problems")
sys.exit(1 if failures else 0)
