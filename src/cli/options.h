#pragma once
// The command line of sonorel-say, read into what to speak, with which voice and
// settings, and where the sound goes.

#include <optional>
#include <QString>
#include <QStringList>

namespace sonorel::cli {

// Worker: a helper process of a batch run, taking files on standard input (not
// for people; see batch.h).
enum class Action { Speak, Help, Version, ListVoices, Worker };
enum class Source { Arguments, File, StandardInput };

struct Options {
    Action action = Action::Speak;
    QString voice;            // a list text or a part of one; empty: the default voice
    std::optional<int> rate;  // 0..100 on the reader's scale; unset: the voice's normal
    std::optional<int> pitch; // 0..100
    int volume = 100;         // 0..100
    Source source = Source::Arguments;
    QStringList files; // with Source::File: files or folders of .txt files
    QString text;      // with Source::Arguments: the arguments joined by blanks
    QString output;    // empty: the sound output; "-": WAV on standard output
    QString subtitles; // .srt or .lrc beside the output; with -d: "srt" or "lrc"
    QString folder;    // -d: several files convert into this folder
    QString format;    // with -d: the files' extension ("wav" unless told)
};

struct ParseResult {
    std::optional<Options> options;
    QString error; // a usage error, when options is empty
};

// `arguments` without the program name.
ParseResult parseArguments(const QStringList& arguments);

QString usageText();

} // namespace sonorel::cli
