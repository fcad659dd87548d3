#include "shared/voiceentry.h"

#include <limits>

namespace sonorel {

QString voiceSuffix(int generation) {
    return QStringLiteral(" (TTS%1.0)").arg(generation);
}

QString voiceEntryText(const QString& voiceName, int generation) {
    return voiceName + voiceSuffix(generation);
}

QString voiceNameFromEntry(const QString& entryText) {
    return entryText.size() > kVoiceSuffixLength ? entryText.chopped(kVoiceSuffixLength)
                                                 : QString();
}

std::int32_t voiceItemCode(int generation, std::int32_t index) {
    const std::int32_t fiveDigits = (index % 100000 + 100000) % 100000;
    return generation * 100000 + fiveDigits;
}

namespace {
DecodedItemCode decodeWithDigits(std::int32_t itemCode, int indexDigits) {
    const QString text = QString::number(itemCode);
    DecodedItemCode decoded;
    decoded.generation = leadingNumber(text.left(1));
    decoded.index = leadingNumber(text.right(indexDigits));
    return decoded;
}
} // namespace

DecodedItemCode decodeItemCode(std::int32_t itemCode) {
    return decodeWithDigits(itemCode, 5);
}

DecodedItemCode decodeItemCodeTwoDigits(std::int32_t itemCode) {
    return decodeWithDigits(itemCode, 2);
}

std::int32_t leadingNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return negative ? std::numeric_limits<std::int32_t>::min()
                            : std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

} // namespace sonorel
