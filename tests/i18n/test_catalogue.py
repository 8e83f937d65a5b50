#!/usr/bin/env python3
"""The English catalogue po/en.po against the texts of the sources.

The template is extracted from the sources afresh (po/update-pot.py, the rule
of what is a message lives there), so a text added, changed or removed in the
code without its translation fails here: every message id of the sources is in
po/en.po, none of po/en.po is stale, every one is translated (no fuzzy or empty
entry, no Japanese left), and every translation keeps the printf directives of
its id in order with their flags, widths and precisions, so that the columns of
the console still line up and the arguments still fit.
Usage: test_catalogue.py SOURCE_ROOT
"""
import importlib.util
import os
import re
import sys
import unittest

ROOT = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
loader_info = importlib.util.spec_from_file_location("update_pot", os.path.join(ROOT, "po", "update-pot.py"))
update_pot = importlib.util.module_from_spec(loader_info)
loader_info.loader.exec_module(update_pot)

DIRECTIVE = re.compile(r"%(?:%|[-+ #0]*(?:\*|\d+)?(?:\.(?:\*|\d+))?(?:hh|h|ll|l|L|z|j|t)?[diouxXeEfFgGaAcsp])")
JAPANESE = re.compile("[\u3000-\u30ff\u3400-\u9fff\uff00-\uffef]")


def field(block, name):
    """The text of one field (msgid, msgstr) of an entry, escapes as written."""
    parts, inside = [], False
    for line in block:
        if line.startswith(name + " "):
            inside = True
            line = line[len(name) + 1:]
        elif not line.startswith('"'):
            inside = False
            continue
        if inside:
            parts.append(line[1:-1])
    return "".join(parts) if parts else None


def catalogue(path):
    """{msgid: (msgstr, flags)} of a .po file, the header left out."""
    with open(path, encoding="utf-8") as f:
        blocks = update_pot.entries(f.read())
    out = {}
    for b in blocks:
        msgid = field(b, "msgid")
        if not msgid:
            continue
        flags = " ".join(l[2:] for l in b if l.startswith("#,"))
        out[msgid] = (field(b, "msgstr"), flags)
    return out


class EnglishCatalogue(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sources = {update_pot.msgid_of(b) for b in update_pot.entries(update_pot.extract(ROOT))[1:]}
        cls.english = catalogue(os.path.join(ROOT, "po", "en.po"))

    def test_the_extraction_finds_the_texts_of_every_seam(self):
        # One text of each way into the catalogue: printed, refused on stderr, tr(), N_().
        for known in (r"\n\n位相平面上の軌道探索終了", r"cptoc: 画面(X display)に接続できません。DISPLAY を確認してください。\n",
                      "加速→減速", "円弧角θf"):
            self.assertIn(known, self.sources)
        self.assertFalse([m for m in self.sources if not JAPANESE.search(m)], "texts without Japanese are no messages")

    def test_every_message_of_the_sources_is_in_the_catalogue_and_none_is_stale(self):
        missing = sorted(self.sources - set(self.english))
        stale = sorted(set(self.english) - self.sources)
        self.assertEqual({"missing from po/en.po (translate them)": missing, "stale in po/en.po": stale},
                         {"missing from po/en.po (translate them)": [], "stale in po/en.po": []})

    def test_every_message_is_translated_into_english_with_the_same_directives(self):
        for msgid, (msgstr, flags) in self.english.items():
            with self.subTest(msgid=msgid):
                self.assertNotIn("fuzzy", flags)
                self.assertTrue(msgstr, "not translated")
                self.assertIsNone(JAPANESE.search(msgstr), "Japanese left in the translation")
                self.assertEqual(DIRECTIVE.findall(msgstr), DIRECTIVE.findall(msgid))
                lead = lambda t: len(t) - len(t.lstrip("\\n"))
                self.assertEqual(msgstr.startswith(r"\n"), msgid.startswith(r"\n"))
                self.assertEqual(msgstr.endswith(r"\n"), msgid.endswith(r"\n"))
                self.assertEqual(lead(msgstr), lead(msgid), "the line breaks before the text")


if __name__ == "__main__":
    unittest.main()
