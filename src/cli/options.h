#pragma once
// The command line of sonorel-say, read into what to speak, with which voice and
// settings, and where the sound goes.

#include <optional>
#include <QString>
#include <QStringList>

namespace sonorel::cli {

enum class Action { Speak, Help, Version, ListVoices };
enum class Source { Arguments, File, StandardInput };

struct Options {
    Action action = Action::Speak;
    QString voice;            // a list text or a part of one; empty: the default voice
    std::optional<int> rate;  // 0..100 on the reader's scale; unset: the voice's normal
    std::optional<int> pitch; // 0..100
    int volume = 100;         // 0..100
    Source source = Source::Arguments;
    QString file;      // with Source::File
    QString text;      // with Source::Arguments: the arguments joined by blanks
    QString output;    // empty: the sound output; "-": WAV on standard output
    QString subtitles; // .srt or .lrc beside the output; empty: none
};

struct ParseResult {
    std::optional<Options> options;
    QString error; // a usage error, when options is empty
};

// `arguments` without the program name.
ParseResult parseArguments(const QStringList& arguments);

QString usageText();

} // namespace sonorel::cli
