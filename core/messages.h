// The program's texts in the user's language. Japanese is the source language:
// every text is written in Japanese in the code and is its own key into the
// message catalogue (GNU gettext, domain "cptoc"). Where no catalogue applies
// (a Japanese locale, C, POSIX, a language without a catalogue) a text is
// returned as it is, byte for byte.
#pragma once

// Marks a text for the catalogue where it is only stored (tables, constants);
// it is translated where it is used, by tr() or by the console seam.
#define N_(text) text

// Binds the catalogue for the message locale in force (setlocale must have run):
// the catalogues next to the program (a build folder: <dir>/locale, an install:
// <dir>/../share/locale), else the folder the program was built for. In the C or
// POSIX message locale the texts stay untranslated whatever LANGUAGE says.
void initMessages();

// The same for a program that has its user's languages as a list rather than a
// locale (the browser edition: the browser's preferred languages, e.g.
// "en-GB,en,ja"): the first that is Japanese or has a catalogue wins; Japanese,
// or none of them, keeps the texts as they are. The catalogue is read by the
// program itself rather than by the C library. catalogues: the folder of the
// catalogues (<folder>/<language>/LC_MESSAGES/cptoc.mo); nullptr finds it as
// initMessages does.
void initMessagesFor(const char* languages, const char* catalogues = nullptr);

// The text in the user's language; the text itself when there is no translation.
const char* tr(const char* text);
