#include "platform/textfile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <QFile>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sonorel::platform {

namespace {

// Windows-1252 0x80-0x9F. The five bytes the code page leaves undefined keep
// their C1 value, so every byte decodes to something and nothing is lost.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendCp1252(QString& out, const char* p, qsizetype n) {
    out.reserve(out.size() + n);
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        out += QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
}

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const char* p, qsizetype n) {
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

QString decodeUtf16(const char* p, qsizetype n, bool littleEndian) {
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
int codepageOfCharset(int charset) {
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
constexpr char16_t kSymbolFont[224] = {
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
char16_t symbolCharacter(unsigned char byte) {
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

enum class Word {
    Unknown,
    Char,    // a word that stands for one character
    Par,     // end of a paragraph
    CellEnd, // \cell, \nestcell
    RowEnd,  // \row
    NestRow,
    NestTableProps,
    V, // hidden text
    U,
    Uc,
    Bin,
    F,
    Deff,
    Plain,
    Ansi,
    Ansicpg,
    Mac,
    Pc,
    Pca,
    Fcharset,
    Cpg,
    FontTable,
    SkippedDestination,
};

struct WordInfo {
    Word word = Word::Unknown;
    char32_t ch = 0; // for Word::Char
};

WordInfo lookupWord(std::string_view name) {
    static const std::unordered_map<std::string_view, WordInfo> words = {
        {"par", {Word::Par, '\n'}},
        {"sect", {Word::Char, '\n'}},
        {"page", {Word::Char, '\n'}},
        {"row", {Word::RowEnd, '\n'}},
        {"nestrow", {Word::NestRow, '\n'}},
        {"line", {Word::Char, '\n'}},
        {"tab", {Word::Char, '\t'}},
        {"cell", {Word::CellEnd, '\t'}},
        {"nestcell", {Word::CellEnd, '\t'}},
        {"emdash", {Word::Char, 0x2014}},
        {"endash", {Word::Char, 0x2013}},
        {"emspace", {Word::Char, 0x2003}},
        {"enspace", {Word::Char, 0x2002}},
        {"qmspace", {Word::Char, 0x2005}},
        {"bullet", {Word::Char, 0x2022}},
        {"lquote", {Word::Char, 0x2018}},
        {"rquote", {Word::Char, 0x2019}},
        {"ldblquote", {Word::Char, 0x201C}},
        {"rdblquote", {Word::Char, 0x201D}},
        {"zwj", {Word::Char, 0x200D}},
        {"zwnj", {Word::Char, 0x200C}},
        {"u", {Word::U}},
        {"uc", {Word::Uc}},
        {"bin", {Word::Bin}},
        {"f", {Word::F}},
        {"deff", {Word::Deff}},
        {"plain", {Word::Plain}},
        {"ansi", {Word::Ansi}},
        {"ansicpg", {Word::Ansicpg}},
        {"mac", {Word::Mac}},
        {"pc", {Word::Pc}},
        {"pca", {Word::Pca}},
        {"fcharset", {Word::Fcharset}},
        {"cpg", {Word::Cpg}},
        {"v", {Word::V}},
        {"nesttableprops", {Word::NestTableProps}},
        {"fonttbl", {Word::FontTable}},
        // Groups with no text for the reader. \fldinst is a field's code; its
        // \fldrslt is what the document shows and is read. \listtext and
        // \pntext are kept on purpose: they carry the bullet or number that a
        // rich text box shows in front of a list item, as the word processor's
        // own plain-text export does.
        {"colortbl", {Word::SkippedDestination}},
        {"stylesheet", {Word::SkippedDestination}},
        {"info", {Word::SkippedDestination}},
        {"pict", {Word::SkippedDestination}},
        {"header", {Word::SkippedDestination}},
        {"headerl", {Word::SkippedDestination}},
        {"headerr", {Word::SkippedDestination}},
        {"headerf", {Word::SkippedDestination}},
        {"footer", {Word::SkippedDestination}},
        {"footerl", {Word::SkippedDestination}},
        {"footerr", {Word::SkippedDestination}},
        {"footerf", {Word::SkippedDestination}},
        {"footnote", {Word::SkippedDestination}},
        {"listtable", {Word::SkippedDestination}},
        {"listoverridetable", {Word::SkippedDestination}},
        {"revtbl", {Word::SkippedDestination}},
        {"rsidtbl", {Word::SkippedDestination}},
        {"generator", {Word::SkippedDestination}},
        {"xmlnstbl", {Word::SkippedDestination}},
        {"themedata", {Word::SkippedDestination}},
        {"colorschememapping", {Word::SkippedDestination}},
        {"datastore", {Word::SkippedDestination}},
        {"latentstyles", {Word::SkippedDestination}},
        {"object", {Word::SkippedDestination}},
        {"fldinst", {Word::SkippedDestination}},
        {"filetbl", {Word::SkippedDestination}},
        {"pn", {Word::SkippedDestination}}, // numbering definition; \pntext has the shown text
        {"bkmkstart", {Word::SkippedDestination}},
        {"bkmkend", {Word::SkippedDestination}},
        // A nested table written again as plain paragraphs, for readers that
        // do not know nested tables: reading it too would read the table twice.
        {"nonesttables", {Word::SkippedDestination}},
    };
    auto it = words.find(name);
    return it == words.end() ? WordInfo{} : it->second;
}

// Starred: a text group just marked \*, until its first control word says
// whether it is the one such group with something for us (nested table
// properties, whose \nestrow ends a nested row).
enum class Dest : unsigned char { Text, FontTable, Skip, Starred, NestTableProps };

// What a group saves on '{' and restores on '}'.
struct GroupState {
    Dest dest = Dest::Text;
    int uc = 1;          // fallback characters after \uN
    int font = -1;       // -1: the document's default font
    bool hidden = false; // \v: not shown, so not read
};

struct FontInfo {
    int charset = 0; // from \fcharset, 0: the document's
    int cpg = 0;     // from \cpg, preferred when given
    QByteArray name; // up to its ';', cut at kMaxFontName bytes
    bool named = false;
};

constexpr qsizetype kMaxFontName = 64;

// Fonts whose bytes are Symbol characters: the symbol character set, or the
// font itself named. Other picture fonts share the character set but not the
// characters, and are read like any other font.
bool isSymbolFont(const FontInfo& font) {
    const QByteArray name = font.name.trimmed().toLower();
    if (name.startsWith("wingdings") || name.startsWith("webdings") || name.contains("dingbats") ||
        name == "marlett")
        return false;
    return font.charset == 2 || name == "symbol";
}

// Real documents nest a few dozen groups; deeper groups share their parent's
// state so hostile input cannot grow the stack without bound.
constexpr std::size_t kMaxSavedGroups = 10000;
constexpr int kMaxWordLength = 32;

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One pass over the bytes, with an explicit stack of group states: no
// recursion, and every byte is looked at a bounded number of times.
class RtfReader {
public:
    explicit RtfReader(const QByteArray& rtf) : m_p(rtf.constData()), m_end(m_p + rtf.size()) {}

    QString read() {
        // Whatever precedes the document's first group (a BOM, blank lines) is not text.
        m_p = std::find(m_p, m_end, '{');
        while (m_p < m_end) {
            const char c = *m_p++;
            switch (c) {
            case '{':
                openGroup();
                break;
            case '}':
                if (!closeGroup())
                    return finish(); // the document's group has ended
                break;
            case '\\':
                control();
                break;
            case '\r':
            case '\n':
                break; // line breaks in the source are not text
            default:
                textByte(c);
            }
        }
        return finish();
    }

private:
    std::size_t depth() const { return m_saved.size() + m_unsaved; }

    void openGroup() {
        flushBytes();
        m_fallback = 0;
        if (m_state.dest == Dest::Starred)
            m_state.dest = Dest::Skip; // a group is no destination word
        if (m_saved.size() < kMaxSavedGroups)
            m_saved.push_back(m_state);
        else
            ++m_unsaved;
    }

    bool closeGroup() {
        flushBytes();
        m_fallback = 0;
        if (m_unsaved > 0) {
            --m_unsaved;
        } else if (!m_saved.empty()) {
            m_state = m_saved.back();
            m_saved.pop_back();
        }
        return depth() > 0;
    }

    // Skips one character of a \uN's fallback if one is due.
    bool skipFallback() {
        if (m_fallback <= 0)
            return false;
        --m_fallback;
        return true;
    }

    // A byte of text in the current code page. Bytes are gathered and decoded
    // together, so double-byte characters (written as \'hh\'hh, or as \'hh and
    // a plain trail byte) come out whole.
    void textByte(char c) {
        if (skipFallback())
            return;
        if (m_state.dest == Dest::FontTable)
            fontNameByte(c);
        if (m_state.dest != Dest::Text || m_state.hidden)
            return;
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            return;
        if (m_bytes.isEmpty())
            settleSurrogate();
        m_bytes += c;
    }

    void fontNameByte(char c) {
        if (m_definingFont < 0)
            return;
        FontInfo& font = m_fonts[m_definingFont];
        if (c == ';')
            font.named = true;
        else if (!font.named && font.name.size() < kMaxFontName)
            font.name += c;
    }

    void flushBytes() {
        if (m_bytes.isEmpty())
            return;
        releaseBreaks();
        const FontInfo* font = currentFont();
        if (font && isSymbolFont(*font)) {
            for (const char b : std::as_const(m_bytes))
                m_out += QChar(symbolCharacter(static_cast<unsigned char>(b)));
        } else {
            m_decoder.append(m_out, m_bytes, currentCodepage(font));
        }
        m_bytes.clear();
    }

    const FontInfo* currentFont() const {
        auto it = m_fonts.find(m_state.font >= 0 ? m_state.font : m_defaultFont);
        return it == m_fonts.end() ? nullptr : &it->second;
    }

    int currentCodepage(const FontInfo* font) const {
        if (font) {
            if (font->cpg > 0)
                return font->cpg;
            if (const int cp = codepageOfCharset(font->charset))
                return cp;
        }
        return m_ansiCodepage;
    }

    // Paragraph ends wait for what follows: one that only ends a table cell
    // (some writers close every cell's last paragraph) would split the row.
    void releaseBreaks() {
        for (; m_heldBreaks > 0; --m_heldBreaks)
            m_out += QChar('\n');
    }

    void paragraphEnd() {
        if (m_state.dest != Dest::Text || m_state.hidden)
            return; // a hidden mark joins the paragraph to the next
        flushBytes();
        settleSurrogate();
        if (m_heldBreaks < INT_MAX)
            ++m_heldBreaks;
    }

    void cellEnd() {
        flushBytes();
        settleSurrogate();
        m_heldBreaks = 0;
        writeChar(U'\t');
    }

    // A high surrogate waits for its low half; anything else in between
    // leaves it unpaired, and an unpaired half is not text.
    void settleSurrogate() {
        if (m_highSurrogate) {
            releaseBreaks();
            m_out += QChar(QChar::ReplacementCharacter);
            m_highSurrogate = 0;
        }
    }

    void put(char32_t cp) {
        if (m_state.dest != Dest::Text || m_state.hidden)
            return;
        writeChar(cp);
    }

    // Writes whatever the group's state: table structure counts even where its
    // marks are hidden.
    void writeChar(char32_t cp) {
        flushBytes();
        releaseBreaks();
        if (QChar::isLowSurrogate(cp)) {
            if (m_highSurrogate) {
                m_out += QChar(m_highSurrogate);
                m_out += QChar(char16_t(cp));
                m_highSurrogate = 0;
            } else {
                m_out += QChar(QChar::ReplacementCharacter);
            }
            return;
        }
        settleSurrogate();
        if (QChar::isHighSurrogate(cp)) {
            m_highSurrogate = char16_t(cp);
        } else if (cp > 0xFFFF) {
            m_out += QChar(QChar::highSurrogate(cp));
            m_out += QChar(QChar::lowSurrogate(cp));
        } else if (cp != 0) {
            m_out += QChar(char16_t(cp));
        }
    }

    void control() {
        if (m_p == m_end)
            return;
        if (isLetter(*m_p)) {
            controlWord();
            return;
        }
        const char c = *m_p++;
        if (c == '\'') {
            hexByte();
            return;
        }
        if (c == '\\' || c == '{' || c == '}') {
            textByte(c);
            return;
        }
        flushBytes();
        if (c == '*') {
            if (depth() > 1 && m_state.dest != Dest::Skip)
                m_state.dest = m_state.dest == Dest::Text ? Dest::Starred : Dest::Skip;
            return;
        }
        if (skipFallback())
            return;
        switch (c) {
        case '~':
            put(0x00A0);
            break;
        case '_':
            put(0x2011);
            break;
        case '\r':
        case '\n': // a backslash before a line break is a \par
            paragraphEnd();
            break;
        case '\t':
            put('\t');
            break;
        default:
            break; // \- (optional hyphen), \: and unknown symbols have no text
        }
    }

    void hexByte() {
        if (m_end - m_p < 2 || hexValue(m_p[0]) < 0 || hexValue(m_p[1]) < 0)
            return; // a broken escape; what follows is read as it stands
        const char byte = char(hexValue(m_p[0]) << 4 | hexValue(m_p[1]));
        m_p += 2;
        if (skipFallback())
            return;
        if (m_state.dest == Dest::FontTable)
            fontNameByte(byte);
        if (m_state.dest != Dest::Text || m_state.hidden)
            return;
        if (m_bytes.isEmpty())
            settleSurrogate();
        m_bytes += byte;
    }

    void controlWord() {
        flushBytes();
        const char* start = m_p;
        while (m_p < m_end && isLetter(*m_p))
            ++m_p;
        const auto length = m_p - start;
        const WordInfo info = length <= kMaxWordLength
                                  ? lookupWord(std::string_view(start, std::size_t(length)))
                                  : WordInfo{};
        const Word word = info.word;

        bool hasParam = false;
        bool negative = false;
        if (m_end - m_p >= 2 && m_p[0] == '-' && isDigit(m_p[1])) {
            negative = true;
            ++m_p;
        }
        long long value = 0;
        while (m_p < m_end && isDigit(*m_p)) {
            hasParam = true;
            if (value <= INT_MAX) // saturate; the rest of the digits are read and dropped
                value = value * 10 + (*m_p - '0');
            ++m_p;
        }
        if (m_p < m_end && *m_p == ' ')
            ++m_p;
        const int param =
            int(std::clamp(negative ? -value : value, (long long)INT_MIN, (long long)INT_MAX));

        if (word == Word::Bin) {
            // Binary data is skipped whatever the group; it may hold any byte.
            const long long n = hasParam ? std::max(param, 0) : 0;
            m_p += std::min<long long>(n, m_end - m_p);
        }
        if (m_state.dest == Dest::Starred)
            m_state.dest = word == Word::NestTableProps ? Dest::NestTableProps : Dest::Skip;
        if (m_state.dest == Dest::Skip)
            return;
        if (m_state.dest == Dest::FontTable) {
            fontTableWord(word, hasParam ? param : 0);
            return;
        }
        if (skipFallback())
            return;
        if (m_state.dest == Dest::NestTableProps) {
            if (word == Word::NestRow)
                writeChar(info.ch);
            return;
        }
        bodyWord(info, hasParam, param);
    }

    void fontTableWord(Word word, int param) {
        if ((word == Word::Fcharset || word == Word::Cpg) && m_definingFont < 0)
            return;
        switch (word) {
        case Word::F:
            m_definingFont = std::max(param, -1);
            if (m_definingFont >= 0)
                m_fonts[m_definingFont] = FontInfo{}; // the last definition counts
            break;
        case Word::Fcharset:
            m_fonts[m_definingFont].charset = param;
            break;
        case Word::Cpg:
            m_fonts[m_definingFont].cpg = param;
            break;
        case Word::FontTable:
            break;
        case Word::SkippedDestination:
            m_state.dest = Dest::Skip;
            break;
        default:
            break;
        }
    }

    void bodyWord(WordInfo info, bool hasParam, int param) {
        switch (info.word) {
        case Word::Char:
            put(info.ch);
            break;
        case Word::Par:
            paragraphEnd();
            break;
        case Word::CellEnd:
            cellEnd();
            break;
        case Word::RowEnd:
        case Word::NestRow:
            writeChar(info.ch);
            break;
        case Word::V:
            m_state.hidden = !hasParam || param != 0;
            break;
        case Word::NestTableProps:
            if (depth() > 1)
                m_state.dest = Dest::NestTableProps;
            break;
        case Word::U: {
            // Parameters are signed 16-bit: negative values stand for U+8000 and above.
            long long cp = param;
            if (cp < 0)
                cp += 0x10000;
            // Symbol fonts' characters also have private-use codes.
            if (cp >= 0xF020 && cp <= 0xF0FF) {
                const FontInfo* font = currentFont();
                if (font && isSymbolFont(*font))
                    cp = symbolCharacter(static_cast<unsigned char>(cp - 0xF000));
            }
            if (hasParam && cp > 0 && cp <= 0x10FFFF)
                put(char32_t(cp));
            m_fallback = m_state.uc;
            break;
        }
        case Word::Uc:
            m_state.uc = hasParam ? std::max(param, 0) : 1;
            break;
        case Word::F:
            m_state.font = hasParam ? std::max(param, -1) : -1;
            break;
        case Word::Plain:
            m_state.font = -1;
            m_state.hidden = false;
            break;
        case Word::Deff:
            m_defaultFont = std::max(param, -1);
            break;
        case Word::Ansi:
            m_ansiCodepage = 1252;
            break;
        case Word::Ansicpg:
            if (param > 0)
                m_ansiCodepage = param;
            break;
        case Word::Mac:
            m_ansiCodepage = 10000;
            break;
        case Word::Pc:
            m_ansiCodepage = 437;
            break;
        case Word::Pca:
            m_ansiCodepage = 850;
            break;
        case Word::FontTable:
            if (depth() > 1)
                m_state.dest = Dest::FontTable;
            break;
        case Word::SkippedDestination:
            if (depth() > 1) // never the document's own group
                m_state.dest = Dest::Skip;
            break;
        default:
            break;
        }
    }

    QString finish() {
        flushBytes();
        settleSurrogate();
        releaseBreaks();
        m_out.remove(QChar(0));
        return m_out;
    }

    const char* m_p;
    const char* m_end;
    GroupState m_state;
    std::vector<GroupState> m_saved;
    std::size_t m_unsaved = 0; // groups opened past kMaxSavedGroups
    int m_fallback = 0;        // fallback characters still to skip after a \uN
    int m_heldBreaks = 0;      // paragraph ends not written yet
    char16_t m_highSurrogate = 0;
    QByteArray m_bytes; // text bytes not decoded yet
    QString m_out;

    int m_ansiCodepage = 1252;
    int m_defaultFont = -1;
    int m_definingFont = -1;
    std::unordered_map<int, FontInfo> m_fonts;
    CodepageDecoder m_decoder;
};

} // namespace

QString decodePlainText(const QByteArray& bytes) {
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    if (n >= 2 && uchar(p[0]) == 0xFF && uchar(p[1]) == 0xFE)
        return decodeUtf16(p + 2, n - 2, true);
    if (n >= 2 && uchar(p[0]) == 0xFE && uchar(p[1]) == 0xFF)
        return decodeUtf16(p + 2, n - 2, false);
    if (!isValidUtf8(p, n)) {
        // A file that is not UTF-8 throughout is taken as Windows-1252 throughout
        // (a UTF-8 BOM included): mixing the two would garble both.
        QString out;
        appendCp1252(out, p, n);
        return out;
    }
    const bool bom = n >= 3 && uchar(p[0]) == 0xEF && uchar(p[1]) == 0xBB && uchar(p[2]) == 0xBF;
    return bom ? QString::fromUtf8(p + 3, n - 3) : QString::fromUtf8(p, n);
}

QString rtfToPlainText(const QByteArray& rtf) {
    return RtfReader(rtf).read();
}

bool looksLikeRtf(const QByteArray& bytes) {
    QByteArrayView rest(bytes);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    while (!rest.isEmpty() && (rest.front() == ' ' || rest.front() == '\t' ||
                               rest.front() == '\r' || rest.front() == '\n'))
        rest = rest.sliced(1);
    return rest.startsWith("{\\rtf");
}

namespace {

TextFileRefusal refusalOfType(mode_t mode) {
    if (S_ISDIR(mode))
        return TextFileRefusal::Folder;
    return S_ISREG(mode) ? TextFileRefusal::None : TextFileRefusal::NotRegular;
}

struct FileDescriptor {
    explicit FileDescriptor(int fd) : fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    int fd;
};

} // namespace

TextFileResult readTextFile(const QString& path) {
    TextFileResult result;
    const auto refuse = [&result](TextFileRefusal why, int error = 0) {
        result.refusal = why;
        if (error != 0)
            result.reason = QString::fromLocal8Bit(std::strerror(error));
        return result;
    };
    // A NUL would end the name early and name another file.
    if (path.isEmpty() || path.contains(QChar(0)))
        return refuse(TextFileRefusal::Missing);
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        const int error = errno;
        return refuse(error == ENOENT || error == ENOTDIR ? TextFileRefusal::Missing
                                                          : TextFileRefusal::Unreadable,
                      error);
    }
    if (const TextFileRefusal type = refusalOfType(status.st_mode); type != TextFileRefusal::None)
        return refuse(type);
    if (status.st_size > kMaxTextFileBytes)
        return refuse(TextFileRefusal::TooLarge);
    // Without waiting: the name may have become a FIFO since the status was read.
    const FileDescriptor file(
        ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd < 0)
        return refuse(TextFileRefusal::Unreadable, errno);
    if (::fstat(file.fd, &status) != 0)
        return refuse(TextFileRefusal::Unreadable, errno);
    if (const TextFileRefusal type = refusalOfType(status.st_mode); type != TextFileRefusal::None)
        return refuse(type);
    // The size may be stale (a growing file) or 0 (files of /proc), so the read
    // itself stops one byte past the limit.
    QByteArray bytes;
    bytes.reserve(qsizetype(std::clamp<qint64>(status.st_size, 0, kMaxTextFileBytes) + 1));
    constexpr qint64 kChunk = 1 << 16;
    for (;;) {
        const qsizetype have = bytes.size();
        if (have > kMaxTextFileBytes)
            return refuse(TextFileRefusal::TooLarge);
        const qint64 room = std::min(kChunk, kMaxTextFileBytes + 1 - have);
        bytes.resize(have + room);
        const ssize_t got = ::read(file.fd, bytes.data() + have, size_t(room));
        if (got < 0) {
            const int error = errno;
            bytes.resize(have);
            if (error == EINTR)
                continue;
            return refuse(TextFileRefusal::Unreadable, error);
        }
        bytes.resize(have + got);
        if (got == 0)
            break;
    }
    result.text = looksLikeRtf(bytes) ? rtfToPlainText(bytes) : decodePlainText(bytes);
    return result;
}

std::optional<QString> loadTextFile(const QString& path) {
    return readTextFile(path).text;
}

} // namespace sonorel::platform
