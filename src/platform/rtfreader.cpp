// The RTF reader of text files: what a word processor shows, as plain text.

#include "platform/textdecoding.h"
#include "platform/textfile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sonorel::platform {

namespace {

using namespace textdecoding;

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

} // namespace sonorel::platform
