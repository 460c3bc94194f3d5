#include "app/ResultRow.h"

#include "analysis/CutoffText.h"

QString RowImageName(int imageIndex) {
    switch (imageIndex) {
    case riFileSound:
        return QStringLiteral("file-sound");
    case riAcceptButton:
        return QStringLiteral("accept_button");
    case riQuestion:
        return QStringLiteral("question");
    case riResultWarning:
        return QStringLiteral("result_warning");
    case riCross:
        return QStringLiteral("cross");
    default:
        return {};
    }
}

int VerdictImage(TQualityVerdict verdict) {
    switch (verdict) {
    case qvOk:
        return riAcceptButton;
    case qvPossible:
        return riQuestion;
    case qvLikely:
        return riResultWarning;
    case qvError:
        return riCross;
    }
    return riCross;
}

ResultRowTexts RowTextsFor(const TAudioQualityResult& result) {
    ResultRowTexts texts;
    texts.SubItems[0] = QString::number(result.BitrateKbps);
    texts.SubItems[1] = QString::number(result.SampleRate);
    texts.SubItems[2] = CutoffText(result.CutoffHz);
    texts.SubItems[3] = VerdictWord(result.Verdict);
    texts.SubItems[4] = result.Reason;
    texts.VerdictImageIndex = VerdictImage(result.Verdict);
    return texts;
}

ResultRowTexts RowTextsFor(const TAudioQualityResult& result, const SourceAssessment& source) {
    ResultRowTexts texts = RowTextsFor(result);
    texts.Assessment = AssessmentCellText(source);
    texts.AssessmentTip = source.Explanation;
    return texts;
}

ResultRowTexts RaisedRowTexts(const QString& failure) {
    ResultRowTexts texts;
    texts.SubItems.fill(QStringLiteral("-"));
    texts.Assessment = AssessmentTitle(Assessment::Error);
    texts.AssessmentTip = failure.isEmpty()
                              ? QStringLiteral("The analysis failed.")
                              : QStringLiteral("The analysis failed: %1").arg(failure);
    return texts;
}

bool IsNothingToDrawBitrate(const QString& bitrateText) {
    return bitrateText == u"0" || bitrateText == u"-";
}
