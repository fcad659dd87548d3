#include "shared/linkcommand.h"

#include <gtest/gtest.h>

using namespace sonorel;

TEST(LinkCommand, KeyIsTheFirst34CharactersComparedExactly) {
    EXPECT_EQ(classifyLinkCommand(kLinkToken + "-4" + "400001Mary (TTS4.0)"),
              LinkCommand::SwitchVoice);
    EXPECT_EQ(classifyLinkCommand(kLinkToken + "_3"), LinkCommand::Stop);
    EXPECT_EQ(classifyLinkCommand(kLinkToken + "_2 ignored"), LinkCommand::SpeakPause);
    EXPECT_EQ(classifyLinkCommand(kLinkToken + "_1Hello"), LinkCommand::Read);
    // Exactly the 34-character key: a read command with an empty text.
    const QString bare = kLinkToken + "_1";
    ASSERT_EQ(bare.size(), 34);
    EXPECT_EQ(classifyLinkCommand(bare), LinkCommand::Read);
    EXPECT_EQ(linkCommandText(bare), "");
    // The token in lower case is no token: the whole string names a file.
    EXPECT_EQ(classifyLinkCommand(kLinkToken.toLower() + "_1"), LinkCommand::File);
    EXPECT_EQ(classifyLinkCommand("/home/u/notes.txt"), LinkCommand::File);
    EXPECT_EQ(classifyLinkCommand(kLinkToken + "_"), LinkCommand::File);
    EXPECT_EQ(classifyLinkCommand(""), LinkCommand::File);
}

TEST(LinkCommand, ReadTextStartsAtCharacter35) {
    EXPECT_EQ(linkCommandText(makeLinkCommand(kLinkRead, "Grüße")), "Grüße");
    EXPECT_EQ(linkCommandText(makeLinkCommand(kLinkRead, " two  spaces ")), " two  spaces ");
}

TEST(LinkCommand, VoiceCommandFields) {
    const VoiceCommand v = parseVoiceCommand(kLinkToken + "-4" + "400003" + "kal (TTS4.0)");
    EXPECT_EQ(v.generation, 4);
    EXPECT_EQ(v.index, 3);
    EXPECT_EQ(v.entryText, "kal (TTS4.0)");
    EXPECT_EQ(parseVoiceCommand(makeVoiceCommand(500012, "English (TTS5.0)")).index, 12);

    const VoiceCommand odd = parseVoiceCommand(kLinkToken + "-4" + "x12a45Name");
    EXPECT_EQ(odd.generation, 0); // not a number: 0
    EXPECT_EQ(odd.index, 12);
    EXPECT_EQ(odd.entryText, "Name");

    const VoiceCommand shortCmd = parseVoiceCommand(kLinkToken + "-4" + "5");
    EXPECT_EQ(shortCmd.generation, 5);
    EXPECT_EQ(shortCmd.index, 0);
    EXPECT_EQ(shortCmd.entryText, "");
}

TEST(LinkCommand, StartCommandUsesA33CharacterKey) {
    EXPECT_EQ(classifyStartCommand(kLinkToken + "-"), StartCommand::Exit);
    EXPECT_EQ(classifyStartCommand(kLinkToken + "-4400001Mary (TTS4.0)"), StartCommand::Exit);
    EXPECT_EQ(classifyStartCommand(kLinkToken + "_1Hello"), StartCommand::ReadTokenText);
    EXPECT_EQ(classifyStartCommand(kLinkToken + "_xHello"), StartCommand::ReadTokenText);
    EXPECT_EQ(classifyStartCommand("Hello there"), StartCommand::ReadWholeLine);
    EXPECT_EQ(classifyStartCommand(kLinkToken), StartCommand::ReadWholeLine);
}
