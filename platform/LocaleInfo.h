// Locale identifiers and their code pages: the locale of the environment, a per-thread locale,
// the ANSI and OEM code page of a locale, and conversions between those code pages and Unicode.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>

using TLocaleId = uint32_t;

inline constexpr TLocaleId LocaleEnglish = 1033;
inline constexpr TLocaleId LocaleGerman = 1031;
inline constexpr TLocaleId LocaleRussian = 1049;

// What GetLocaleInfo answers: the OEM and the ANSI code page, as decimal text.
inline constexpr int LOCALE_IDEFAULTCODEPAGE = 11;
inline constexpr int LOCALE_IDEFAULTANSICODEPAGE = 4100;

// Code page numbers that stand for the system's own ANSI and OEM code pages.
inline constexpr unsigned CP_ACP = 0;
inline constexpr unsigned CP_OEMCP = 1;
inline constexpr unsigned CP_UTF8 = 65001;

// The locale the environment names: LC_ALL, else LC_CTYPE, else LANG (the first one set and not
// empty); "de..." is German, "ru..." Russian, anything else English.
TLocaleId SystemLocaleId();

// The calling thread's locale: the one set for this thread, else the system locale.
TLocaleId GetThreadLocale();
// 0 returns the thread to the system locale.
void SetThreadLocale(TLocaleId Locale);

// LOCALE_IDEFAULTANSICODEPAGE or LOCALE_IDEFAULTCODEPAGE of 1033 (1252, 437), 1031 (1252, 850)
// and 1049 (1251, 866); an empty text for any other locale or kind of information.
QString GetLocaleInfo(TLocaleId Locale, int Type);

// The code pages of the system locale.
unsigned SystemAnsiCodePage();
unsigned SystemOemCodePage();

// Unicode to a code page (CP_ACP and CP_OEMCP name the system's): every character the code page
// lacks becomes one "?". The result is as long as the conversion makes it.
QByteArray WideCharToMultiByte(unsigned CodePage, QStringView Text);
// A code page to Unicode; a byte that the code page does not define becomes the character of
// the same number. A code page that cannot be converted is taken as the system ANSI code page.
QString MultiByteToWideChar(unsigned CodePage, QByteArrayView Bytes);

// Whether every character of the code page is one byte (CP_ACP and CP_OEMCP name the system's).
bool IsSingleByteCodePage(unsigned CodePage);

// System ANSI text to the system OEM code page, byte for byte in the single-byte code pages.
QByteArray CharToOemBuff(QByteArrayView Ansi);
