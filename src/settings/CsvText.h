#pragma once

#include <QString>

// A field of a comma-separated line as spreadsheets read it: quoted, with
// quotes doubled, when it holds a comma, a quote or a line break.
inline QString csvField(QString text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    text.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}
