#include "ChartLimits.h"

#include "ChartTexts.h"
#include "Prompts.h"
#include "TextConversions.h"

#include <QLineEdit>

ChartLimitFault checkChartLimits(double upper, double lower)
{
    if (upper > kChartUpperMaximum)
        return ChartLimitFault::UpperTooHigh;
    if (lower < kChartLowerMinimum)
        return ChartLimitFault::LowerTooLow;
    if (lower >= upper)
        return ChartLimitFault::LowerNotBelowUpper;
    return ChartLimitFault::None;
}

QString chartLimitMessage(ChartLimitFault fault, int language)
{
    switch (fault) {
    case ChartLimitFault::UpperTooHigh:
        return kUpperTooHigh.text(language);
    case ChartLimitFault::LowerTooLow:
        return kLowerTooLow.text(language);
    case ChartLimitFault::LowerNotBelowUpper:
        return kLowerNotBelowUpper.text(language);
    case ChartLimitFault::None:
        break;
    }
    return {};
}

bool acceptChartLimits(QLineEdit &upperEdit, QLineEdit &lowerEdit, Prompts &prompts, int language,
                       double &upper, double &lower)
{
    const double typedUpper = atofLike(upperEdit.text());
    const double typedLower = atofLike(lowerEdit.text());
    const ChartLimitFault fault = checkChartLimits(typedUpper, typedLower);
    if (fault == ChartLimitFault::None) {
        upper = typedUpper;
        lower = typedLower;
        return true;
    }
    prompts.error(chartLimitMessage(fault, language), kCaptionWrong.text(language));
    if (fault == ChartLimitFault::UpperTooHigh) {
        upperEdit.setFocus();
        return false;
    }
    lowerEdit.setFocus();
    if (fault == ChartLimitFault::LowerNotBelowUpper) {
        // Everything selected with the cursor at the start, so the edit
        // scrolls back to show the beginning of the number.
        lowerEdit.end(false);
        lowerEdit.home(true);
    }
    return false;
}
