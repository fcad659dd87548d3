#pragma once
// The settings records of both programs and their files. Field names and order
// are the file format: never reorder them. Each record lists its fields once, in
// file order, in `fields()`; the same list drives both reading and writing.

#include "shared/recordcodec.h"

#include <cstdint>
#include <optional>
#include <QString>

namespace sonorel {

// stts.ini: the selected voice, rate and pitch.
struct TTSSets {
    std::int32_t EngineGeneration = 0; // 4, 5, or 0 before any choice
    std::int32_t VoiceIndex = 0;
    QString VoiceName;           // list text without the 9-character suffix
    std::int32_t RateValue = 0;  // rate scroll bar position 0..100
    std::int32_t PitchValue = 0; // pitch scroll bar position 0..100

    static void fields(auto& r, auto& io) {
        io(r.EngineGeneration), io(r.VoiceIndex), io(r.VoiceName), io(r.RateValue),
            io(r.PitchValue);
    }
    bool operator==(const TTSSets&) const = default;
};

// swin.ini: window place, text box font and colours, folders, batch and slide settings.
struct WinSets {
    std::int32_t WinState = 2; // 0 normal, 1 minimized, 2 maximized
    bool WinVisible = true;
    std::int32_t WinLeft = 0, WinTop = 0, WinWidth = 0, WinHeight = 0; // twips
    QString OpenFolder, SaveFolder;
    QString OpenExt = ".txt", SaveExt = ".mp3";
    bool TextBoxShown = true;
    std::int32_t TextBoxHeight = 0;
    QString TextFontName;
    QString TextFontBold = "False"; // kept as the text "True"/"False"
    bool TextFontItalic = false;
    QString TextFontSize;
    bool TextFontUnderline = false, TextFontStrikethru = false;
    std::int32_t TextFontCharset = 0;
    RecordColor TextForeColor = 0;
    RecordColor TextBackColor = 0xFFFFFF;
    bool WatchClipboard = true;
    QString BatchDrive, BatchSourceFolder, BatchTargetFolder, SlideFolder;
    std::int32_t SlideDelaySec = 2, SlideFullWindow = 0, SlideRandom = 0;
    RecordColor SlideBackColor = 0;
    QString SlideFontName;
    QString SlideFontBold = "False";
    bool SlideFontItalic = false;
    QString SlideFontSize;
    bool SlideFontUnderline = false, SlideFontStrikethru = false;
    std::int32_t SlideFontCharset = 0;
    RecordColor SlideForeColor = 0;

    static void fields(auto& r, auto& io) {
        io(r.WinState), io(r.WinVisible), io(r.WinLeft), io(r.WinTop), io(r.WinWidth),
            io(r.WinHeight);
        io(r.OpenFolder), io(r.SaveFolder), io(r.OpenExt), io(r.SaveExt);
        io(r.TextBoxShown), io(r.TextBoxHeight);
        io(r.TextFontName), io(r.TextFontBold), io(r.TextFontItalic), io(r.TextFontSize);
        io(r.TextFontUnderline), io(r.TextFontStrikethru), io(r.TextFontCharset);
        io(r.TextForeColor), io(r.TextBackColor), io(r.WatchClipboard);
        io(r.BatchDrive), io(r.BatchSourceFolder), io(r.BatchTargetFolder), io(r.SlideFolder);
        io(r.SlideDelaySec), io(r.SlideFullWindow), io(r.SlideRandom), io(r.SlideBackColor);
        io(r.SlideFontName), io(r.SlideFontBold), io(r.SlideFontItalic), io(r.SlideFontSize);
        io(r.SlideFontUnderline), io(r.SlideFontStrikethru), io(r.SlideFontCharset),
            io(r.SlideForeColor);
    }
    bool operator==(const WinSets&) const = default;

    // The defaults that do not depend on a window: folders start in the program's
    // folder; the batch and slide folders in the user's home folder.
    static WinSets defaults(const QString& programFolder, const QString& homeFolder);
};

// stime.ini: the talking clock.
struct ClockSettings {
    std::int32_t HourOn = 1, HalfOn = 1, QuarterOn = 1;
    QString SentenceStart = "The time is";
    QString HourWord = "o'clock";
    QString MinuteWord = "minute";
    QString BellFile;
    std::int32_t IntervalOn = 0, IntervalMinutes = 0;
    std::int32_t HourlyOn = 0, HourlyMinute = 70;
    std::int32_t DailyOn = 0, DailyHour = 25, DailyMinute = 70;

    static void fields(auto& r, auto& io) {
        io(r.HourOn), io(r.HalfOn), io(r.QuarterOn);
        io(r.SentenceStart), io(r.HourWord), io(r.MinuteWord), io(r.BellFile);
        io(r.IntervalOn), io(r.IntervalMinutes), io(r.HourlyOn), io(r.HourlyMinute);
        io(r.DailyOn), io(r.DailyHour), io(r.DailyMinute);
    }
    bool operator==(const ClockSettings&) const = default;

    static ClockSettings defaults(const QString& programFolder);
};

// tomp3.ini: the last folders of the WAV-to-MP3 converter's dialogs.
struct Tomp3Folders {
    QString WavFolder;
    QString Mp3Folder;

    static void fields(auto& r, auto& io) { io(r.WavFolder), io(r.Mp3Folder); }
    bool operator==(const Tomp3Folders&) const = default;
};

// IEVoiceName.ini: the browser voice, shared by the reader and the voice chooser.
struct IEVoiceNameRecord {
    QString VoiceEntry; // list text with its suffix, "Mary (TTS4.0)"
    QString Generation; // "4" or "5"

    static void fields(auto& r, auto& io) { io(r.VoiceEntry), io(r.Generation); }
    bool operator==(const IEVoiceNameRecord&) const = default;
};

namespace detail {
struct FieldWriter {
    RecordWriter& w;
    void operator()(const std::int32_t& v) { w.int32(v); }
    void operator()(const bool& v) { w.boolean(v); }
    void operator()(const QString& v) { w.text(v); }
};
struct FieldReader {
    RecordReader& r;
    void operator()(std::int32_t& v) { v = r.int32(); }
    void operator()(bool& v) { v = r.boolean(); }
    void operator()(QString& v) { v = r.text(); }
};
} // namespace detail

template <class Record> QByteArray encodeRecord(const Record& record) {
    RecordWriter writer;
    detail::FieldWriter io{writer};
    Record::fields(record, io);
    return writer.bytes();
}

// Fields past the end of `bytes` read as 0 / empty text / false.
template <class Record> Record decodeRecord(const QByteArray& bytes) {
    Record record;
    RecordReader reader(bytes);
    detail::FieldReader io{reader};
    Record::fields(record, io);
    return record;
}

// A missing or unreadable file reads as a record of zeros and empty texts.
template <class Record> Record loadRecord(const QString& path) {
    return decodeRecord<Record>(readWholeFile(path));
}

template <class Record>
bool saveRecord(const QString& path, const Record& record, QString* error = nullptr) {
    return writeFileAtomically(path, encodeRecord(record), error);
}

// "True" / "False" as the font groups keep bold; anything else is no answer.
std::optional<bool> boolFromText(const QString& text);
QString textFromBool(bool value);

} // namespace sonorel
