#pragma once

#include <QString>

// Conversions of stored texts with the C library's lenient rules: leading
// blanks and a sign are accepted, parsing stops at the first character that
// does not fit, and a text without a number yields 0.
int atoiLike(const QString &text);
double atofLike(const QString &text);

// "%g" formatting of a double, as the settings file stores real numbers.
QString formatG(double value);
