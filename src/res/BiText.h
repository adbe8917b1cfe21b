#pragma once

#include <QString>

// A user-visible text in both interface languages. Language 1 is English;
// every other index (0, and stray values from a hand-edited settings file)
// falls back to Simplified Chinese.
struct BiText {
    const char *zh;
    const char *en;

    QString text(int language) const { return QString::fromUtf8(language == 1 ? en : zh); }
};
