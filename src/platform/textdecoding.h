#pragma once
// Byte decoding shared by the plain-text and the RTF readers of text files: UTF-8
// validation, UTF-16, Windows-1252, any Windows code page through iconv, and the
// Symbol font's characters. Not for use outside src/platform/.

#include <cstdint>
#include <iconv.h>
#include <QByteArray>
#include <QString>
#include <unordered_map>

namespace sonorel::platform::textdecoding {

// Windows-1252 0x80-0x9F. The five bytes the code page leaves undefined keep
// their C1 value, so every byte decodes to something and nothing is lost.
inline constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline void appendCp1252(QString& out, const char* p, qsizetype n) {
    out.reserve(out.size() + n);
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        out += QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
}

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF.
inline bool isValidUtf8(const char* p, qsizetype n) {
    qsizetype i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        char32_t cp, min;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        for (int k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(p[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

inline QString decodeUtf16(const char* p, qsizetype n, bool littleEndian) {
    QString out;
    out.reserve(n / 2 + 1);
    for (qsizetype i = 0; i + 1 < n; i += 2) {
        const auto a = static_cast<unsigned char>(p[i]);
        const auto b = static_cast<unsigned char>(p[i + 1]);
        out += QChar(littleEndian ? char16_t(a | b << 8) : char16_t(a << 8 | b));
    }
    if (n % 2)
        out += QChar::ReplacementCharacter;
    return out;
}

// ---------------------------------------------------------------------------
// RTF

// Font character sets with a code page of their own; any other set (ANSI,
// default, symbol) uses the document's code page.
inline int codepageOfCharset(int charset) {
    static constexpr std::pair<int, int> table[] = {
        {128, 932},  {129, 949},  {134, 936},  {136, 950},  {161, 1253}, {162, 1254}, {163, 1258},
        {177, 1255}, {178, 1256}, {186, 1257}, {204, 1251}, {222, 874},  {238, 1250}};
    for (const auto& [set, codepage] : table) {
        if (set == charset)
            return codepage;
    }
    return 0;
}

// What the characters of the Symbol font are, for bytes 0x20-0xFF; 0 where the
// font has none. Glyph pieces (bracket and integral parts) are the Unicode
// pieces, and the serif and sans-serif marks the one mark each.
inline constexpr char16_t kSymbolFont[224] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, // 0x20
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F, //
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, // 0x30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, //
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, // 0x40
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F, //
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, // 0x50
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F, //
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, // 0x60
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, //
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, // 0x70
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0,      //
    0,      0,      0,      0,      0,      0,      0,      0,      // 0x80
    0,      0,      0,      0,      0,      0,      0,      0,      //
    0,      0,      0,      0,      0,      0,      0,      0,      // 0x90
    0,      0,      0,      0,      0,      0,      0,      0,      //
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, // 0xA0
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193, //
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, // 0xB0
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5, //
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, // 0xC0
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, //
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, // 0xD0
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3, //
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, // 0xE0
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA, //
    0,      0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, // 0xF0
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0,      //
};

// A Symbol-font byte as text; below 0x20 as it stands, like other fonts.
inline char16_t symbolCharacter(unsigned char byte) {
    if (byte < 0x20)
        return byte;
    const char16_t c = kSymbolFont[byte - 0x20];
    return c ? c : char16_t(QChar::ReplacementCharacter);
}

// Decodes byte runs in Windows code pages through glibc's iconv, one converter
// per code page for the whole document.
class CodepageDecoder {
public:
    CodepageDecoder() = default;
    CodepageDecoder(const CodepageDecoder&) = delete;
    CodepageDecoder& operator=(const CodepageDecoder&) = delete;
    ~CodepageDecoder() {
        for (auto& [cp, cd] : m_open) {
            if (cd != invalid())
                iconv_close(cd);
        }
    }

    void append(QString& out, const QByteArray& bytes, int codepage) {
        const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii) {
            out += QLatin1StringView(bytes);
            return;
        }
        iconv_t cd = codepage == 1252 ? invalid() : converter(codepage);
        if (cd == invalid()) {
            // 1252 itself, or a code page glibc does not know.
            appendCp1252(out, bytes.constData(), bytes.size());
            return;
        }
        convert(out, cd, bytes);
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }

    iconv_t converter(int codepage) {
        auto it = m_open.find(codepage);
        if (it != m_open.end())
            return it->second;
        QByteArray name;
        switch (codepage) {
        case 65001:
            name = "UTF-8";
            break;
        case 10000:
            name = "MACINTOSH";
            break;
        case 20866:
            name = "KOI8-R";
            break;
        case 21866:
            name = "KOI8-U";
            break;
        default:
            if (codepage >= 28591 && codepage <= 28599)
                name = "ISO-8859-" + QByteArray::number(codepage - 28590);
            else
                name = "CP" + QByteArray::number(codepage);
        }
        iconv_t cd = iconv_open("UTF-8", name.constData());
        m_open.emplace(codepage, cd);
        return cd;
    }

    // Bytes the code page cannot decode become U+FFFD, one each.
    static void convert(QString& out, iconv_t cd, const QByteArray& bytes) {
        QByteArray utf8;
        char buf[1024];
        auto drain = [&](char* end) { utf8.append(buf, end - buf); };
        char* in = const_cast<char*>(bytes.constData());
        size_t inLeft = static_cast<size_t>(bytes.size());
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            char* o = buf;
            size_t oLeft = sizeof buf;
            const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
            drain(o);
            if (r != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG && o != buf)
                continue;
            // A stateful converter (1258) may still hold a character back.
            o = buf;
            oLeft = sizeof buf;
            iconv(cd, nullptr, nullptr, &o, &oLeft);
            drain(o);
            utf8.append("\xEF\xBF\xBD");
            ++in;
            --inLeft;
        }
        char* o = buf;
        size_t oLeft = sizeof buf;
        iconv(cd, nullptr, nullptr, &o, &oLeft);
        drain(o);
        out += QString::fromUtf8(utf8);
    }

    std::unordered_map<int, iconv_t> m_open;
};

} // namespace sonorel::platform::textdecoding
