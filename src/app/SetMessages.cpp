#include "SetMessages.h"

#include "SetsTexts.h"

namespace SetMessages {

QString importText(const SetFile::ImportError &error, const QString &file, int language)
{
    using What = SetFile::ImportError::What;
    const BiText *text = nullptr;
    switch (error.what) {
    case What::None:
        return QString();
    case What::NotJson:
        text = &kImportNotJson;
        break;
    case What::NotASet:
        return kImportNotASet.text(language).arg(file);
    case What::VersionUnknown:
        text = &kImportVersion;
        break;
    case What::FieldMissing:
        text = &kImportFieldMissing;
        break;
    case What::FieldNotValid:
        text = &kImportFieldNotValid;
        break;
    case What::MeterTypeUnknown:
        text = &kImportMeterType;
        break;
    case What::OutsideMenu:
        text = &kImportOutsideMenu;
        break;
    case What::RawOutOfRange:
        text = &kImportRawOutOfRange;
        break;
    case What::DuplicateParameter:
        text = &kImportDuplicate;
        break;
    case What::RegisterMismatch:
        text = &kImportRegister;
        break;
    }
    return text->text(language).arg(file, error.detail);
}

QString outcomeText(const JobOutcome &outcome, const ParameterSet &set, int language)
{
    using End = JobOutcome::End;
    const BiText *text = &kJobDone;
    switch (outcome.end) {
    case End::Done:
        break;
    case End::Cancelled:
        text = &kJobCancelled;
        break;
    case End::NoParameters:
        text = &kJobNoParameters;
        break;
    case End::ReadFailed:
        text = &kJobReadFailed;
        break;
    case End::Refused:
        text = &kJobRefused;
        break;
    case End::NoAnswer:
        text = &kJobNoAnswer;
        break;
    case End::ReadBackDifferent:
        text = &kJobReadBackDifferent;
        break;
    case End::Busy:
        text = &kJobBusy;
        break;
    }
    QString parameter = QStringLiteral("k=%1").arg(outcome.k);
    if (const SetParameter *p = set.parameter(outcome.k))
        parameter += QStringLiteral(" \"%1\"").arg(language == 1 ? p->captionEN : p->caption);
    const auto value = [](const std::optional<qint16> &raw) { return raw ? QString::number(*raw) : QString(); };
    // QString::arg replaces the lowest marker first: fill every one, used or not.
    QString result = text->text(language);
    const QString values[] = {QString::number(outcome.address), parameter, value(outcome.written),
                              value(outcome.read), QString::number(outcome.exceptionCode),
                              QString::number(outcome.writes)};
    for (int i = 0; i < 6; ++i)
        result.replace(QStringLiteral("%%1").arg(i + 1), values[i]);
    return result;
}

} // namespace SetMessages
