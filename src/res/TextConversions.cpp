#include "TextConversions.h"

#include <QByteArray>

#include <cctype>
#include <climits>
#include <cstdlib>

namespace {

// Length of the longest prefix of s (after leading blanks) that reads as a
// decimal real number: sign, digits, optional fraction, optional exponent.
qsizetype numberPrefixLength(const QByteArray &s, qsizetype start)
{
    qsizetype i = start;
    auto digits = [&] {
        const qsizetype from = i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i;
        return i - from;
    };
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    qsizetype mantissa = digits();
    if (i < s.size() && s[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return 0;
    const qsizetype beforeExponent = i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (digits() == 0)
            i = beforeExponent;
    }
    return i - start;
}

qsizetype skipBlanks(const QByteArray &s)
{
    qsizetype i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    return i;
}

} // namespace

int atoiLike(const QString &text)
{
    const QByteArray s = text.toUtf8();
    qsizetype i = skipBlanks(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    // Accumulate in 64 bits and saturate: atoi's result is undefined on
    // overflow, a clamped value is the sound reading of an absurd text.
    long long value = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        value = value * 10 + (s[i++] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    return static_cast<int>(value);
}

double atofLike(const QString &text)
{
    // Parsed by hand and converted with QByteArray::toDouble, which always
    // uses the C notation: strtod follows the desktop's locale once Qt has
    // called setlocale, and would read "12.5" as 12 under a German locale.
    const QByteArray s = text.toUtf8();
    const qsizetype start = skipBlanks(s);
    const qsizetype length = numberPrefixLength(s, start);
    return length == 0 ? 0.0 : s.mid(start, length).toDouble();
}

QString formatG(double value)
{
    return QString::asprintf("%g", value);
}
