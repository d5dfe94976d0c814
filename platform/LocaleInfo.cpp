// Locale identifiers and code pages through iconv. Single-byte code pages are converted through
// tables that iconv fills once per code page; other code pages run through iconv itself.
#include "platform/LocaleInfo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct TLocaleEntry {
    TLocaleId Locale;
    const char* LanguagePrefix;
    unsigned AnsiCodePage;
    unsigned OemCodePage;
};

constexpr std::array<TLocaleEntry, 3> LocaleTable{{
    {LocaleEnglish, "en", 1252, 437},
    {LocaleGerman, "de", 1252, 850},
    {LocaleRussian, "ru", 1251, 866},
}};

const TLocaleEntry& EntryOf(TLocaleId Locale) {
    for (const TLocaleEntry& entry : LocaleTable)
        if (entry.Locale == Locale)
            return entry;
    return LocaleTable[0];
}

bool KnownLocale(TLocaleId Locale) {
    for (const TLocaleEntry& entry : LocaleTable)
        if (entry.Locale == Locale)
            return true;
    return false;
}

thread_local TLocaleId ThreadLocale = 0;

// One iconv conversion descriptor, closed on destruction.
class TIconv {
public:
    TIconv(const char* To, const char* From) : FHandle(iconv_open(To, From)) {}
    ~TIconv() {
        if (Valid())
            iconv_close(FHandle);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }
    // Converts what it can; returns the errno of the stop (0 when all input was taken).
    int Convert(const char*& In, size_t& InLeft, char*& Out, size_t& OutLeft) {
        char* in = const_cast<char*>(In);
        const size_t rc = iconv(FHandle, &in, &InLeft, &Out, &OutLeft);
        In = in;
        return rc == static_cast<size_t>(-1) ? errno : 0;
    }
    void Reset() { iconv(FHandle, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t FHandle;
};

QByteArray IconvName(unsigned CodePage) {
    if (CodePage == CP_UTF8)
        return "UTF-8";
    return "CP" + QByteArray::number(CodePage);
}

// A code page as conversion tables, or as the names iconv needs for a multi-byte code page.
struct TCodePage {
    bool Convertible = false;
    bool SingleByte = false;
    std::array<char16_t, 256> ToUnicode{};
    std::vector<int16_t> FromUnicode; // byte of each UTF-16 unit, -1 when the page lacks it
    QByteArray Name;
};

std::unique_ptr<TCodePage> BuildCodePage(unsigned CodePage) {
    auto page = std::make_unique<TCodePage>();
    page->Name = IconvName(CodePage);
    TIconv decoder("UTF-16LE", page->Name.constData());
    if (!decoder.Valid())
        return page;
    page->Convertible = true;
    page->SingleByte = true;
    page->FromUnicode.assign(65536, -1);
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const char* in = &byte;
        size_t inLeft = 1;
        char16_t unit[2] = {0, 0};
        char* out = reinterpret_cast<char*>(unit);
        size_t outLeft = sizeof unit;
        decoder.Reset();
        const int error = decoder.Convert(in, inLeft, out, outLeft);
        if (error == EINVAL) { // a lead byte: the page is not single-byte
            page->SingleByte = false;
            break;
        }
        const bool mapped = error == 0 && outLeft == sizeof unit - 2;
        page->ToUnicode[b] = mapped ? unit[0] : static_cast<char16_t>(b);
        if (mapped && page->FromUnicode[unit[0]] < 0)
            page->FromUnicode[unit[0]] = static_cast<int16_t>(b);
    }
    if (!page->SingleByte)
        page->FromUnicode.clear();
    return page;
}

unsigned ResolveCodePage(unsigned CodePage) {
    if (CodePage == CP_ACP)
        return SystemAnsiCodePage();
    if (CodePage == CP_OEMCP)
        return SystemOemCodePage();
    return CodePage;
}

const TCodePage& LoadCodePage(unsigned Number) {
    static std::mutex lock;
    static std::unordered_map<unsigned, std::unique_ptr<TCodePage>> pages;
    std::lock_guard guard(lock);
    std::unique_ptr<TCodePage>& slot = pages[Number];
    if (!slot)
        slot = BuildCodePage(Number);
    return *slot;
}

// The tables of a code page, built on first use and kept for the process; a code page that
// iconv does not know is taken as the system ANSI code page.
const TCodePage& CodePageOf(unsigned CodePage) {
    const TCodePage& page = LoadCodePage(ResolveCodePage(CodePage));
    return page.Convertible ? page : LoadCodePage(SystemAnsiCodePage());
}

bool IsHighSurrogate(char16_t Unit) {
    return Unit >= 0xD800 && Unit < 0xDC00;
}
bool IsLowSurrogate(char16_t Unit) {
    return Unit >= 0xDC00 && Unit < 0xE000;
}

QByteArray EncodeSingleByte(const TCodePage& Page, QStringView Text) {
    QByteArray result(Text.size(), Qt::Uninitialized);
    char* out = result.data();
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const char16_t unit = Text[i].unicode();
        if (IsHighSurrogate(unit) && i + 1 < Text.size() && IsLowSurrogate(Text[i + 1].unicode()))
            ++i; // one character beyond the single-byte range: one "?"
        const int16_t byte = IsHighSurrogate(unit) ? -1 : Page.FromUnicode[unit];
        *out++ = byte < 0 ? '?' : static_cast<char>(byte);
    }
    result.truncate(out - result.constData());
    return result;
}

QString DecodeSingleByte(const TCodePage& Page, QByteArrayView Bytes) {
    QString result(Bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    for (qsizetype i = 0; i < Bytes.size(); ++i)
        out[i] = Page.ToUnicode[static_cast<uint8_t>(Bytes[i])];
    return result;
}

// Streams input through iconv; on input it cannot convert, Replace appends a substitute to the
// output and returns how many input bytes to skip.
template <typename TReplace>
QByteArray IconvAll(const char* To, const char* From, QByteArrayView Input, TReplace Replace) {
    TIconv conv(To, From);
    QByteArray output;
    if (!conv.Valid())
        return output;
    const char* in = Input.data();
    size_t inLeft = static_cast<size_t>(Input.size());
    std::array<char, 4096> buffer;
    while (inLeft > 0) {
        char* out = buffer.data();
        size_t outLeft = buffer.size();
        const int error = conv.Convert(in, inLeft, out, outLeft);
        output.append(buffer.data(), static_cast<qsizetype>(buffer.size() - outLeft));
        if (error == E2BIG || error == 0)
            continue;
        const size_t skip = std::min(inLeft, Replace(output, in, inLeft));
        in += skip;
        inLeft -= skip;
        conv.Reset();
    }
    return output;
}

} // namespace

TLocaleId SystemLocaleId() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray value = qgetenv(variable);
        if (value.isEmpty())
            continue;
        for (const TLocaleEntry& entry : LocaleTable)
            if (value.startsWith(entry.LanguagePrefix))
                return entry.Locale;
        return LocaleEnglish;
    }
    return LocaleEnglish;
}

TLocaleId GetThreadLocale() {
    return ThreadLocale != 0 ? ThreadLocale : SystemLocaleId();
}

void SetThreadLocale(TLocaleId Locale) {
    ThreadLocale = Locale;
}

QString GetLocaleInfo(TLocaleId Locale, int Type) {
    if (!KnownLocale(Locale))
        return QString();
    const TLocaleEntry& entry = EntryOf(Locale);
    if (Type == LOCALE_IDEFAULTANSICODEPAGE)
        return QString::number(entry.AnsiCodePage);
    if (Type == LOCALE_IDEFAULTCODEPAGE)
        return QString::number(entry.OemCodePage);
    return QString();
}

unsigned SystemAnsiCodePage() {
    return EntryOf(SystemLocaleId()).AnsiCodePage;
}

unsigned SystemOemCodePage() {
    return EntryOf(SystemLocaleId()).OemCodePage;
}

QByteArray WideCharToMultiByte(unsigned CodePage, QStringView Text) {
    const TCodePage& page = CodePageOf(CodePage);
    if (page.SingleByte)
        return EncodeSingleByte(page, Text);
    const QByteArrayView input(reinterpret_cast<const char*>(Text.utf16()), Text.size() * 2);
    return IconvAll(page.Name.constData(), "UTF-16LE", input,
                    [](QByteArray& out, const char* in, size_t left) {
                        out.append('?');
                        const char16_t unit = static_cast<char16_t>(uint8_t(in[0]) | uint8_t(in[1]) << 8);
                        return IsHighSurrogate(unit) && left >= 4 ? size_t(4) : size_t(2);
                    });
}

QString MultiByteToWideChar(unsigned CodePage, QByteArrayView Bytes) {
    const TCodePage& page = CodePageOf(CodePage);
    if (page.SingleByte)
        return DecodeSingleByte(page, Bytes);
    const QByteArray units =
        IconvAll("UTF-16LE", page.Name.constData(), Bytes, [](QByteArray& out, const char* in, size_t) {
            out.append(in[0]);
            out.append('\0');
            return size_t(1);
        });
    return QString(reinterpret_cast<const QChar*>(units.constData()), units.size() / 2);
}

bool IsSingleByteCodePage(unsigned CodePage) {
    return CodePageOf(CodePage).SingleByte;
}

QByteArray CharToOemBuff(QByteArrayView Ansi) {
    return WideCharToMultiByte(CP_OEMCP, MultiByteToWideChar(CP_ACP, Ansi));
}
