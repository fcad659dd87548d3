#pragma once
// Voice list entries: "<name> (TTS4.0)" / "<name> (TTS5.0)" and their item codes
// (generation digit followed by the voice's index in five digits).

#include <cstdint>
#include <QString>

namespace sonorel {

inline constexpr int kVoiceSuffixLength = 9;

QString voiceSuffix(int generation); // " (TTS4.0)", " (TTS5.0)"
QString voiceEntryText(const QString& voiceName, int generation);
// The entry text without its last 9 characters (empty when shorter).
QString voiceNameFromEntry(const QString& entryText);

// 400001 for generation 4 engine 1; only the last five digits of a larger index.
std::int32_t voiceItemCode(int generation, std::int32_t index);

struct DecodedItemCode {
    int generation = 0;
    std::int32_t index = 0;
};
// Generation = first digit of the code's decimal text; index = its last five digits.
DecodedItemCode decodeItemCode(std::int32_t itemCode);
// The start-up defaults read only the last two digits of the index.
DecodedItemCode decodeItemCodeTwoDigits(std::int32_t itemCode);

// The numeric value of the leading number of `text` as a legacy Val() reads it:
// leading blanks skipped, then an optional sign and digits; nothing numeric is 0.
std::int32_t leadingNumber(QStringView text);

} // namespace sonorel
