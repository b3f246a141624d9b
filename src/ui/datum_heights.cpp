#include "ui/datum_heights.h"

#include <cmath>

#include "core/messages.h"
#include "engine/datum/datum_operation.h"
#include "engine/datum/height_fit.h"
#include "print/qt_messages.h"

namespace quorvel {
namespace {

// The entries after 无 and 自动, in the box's order.
const HeightModelKind kKinds[] = {HeightModelKind::Fixed, HeightModelKind::Plane,
                                  HeightModelKind::Quadratic};

QString Number(double v, int decimals) {
    return std::isnan(v) ? QStringLiteral("—") : QString::number(v, 'f', decimals);
}

}  // namespace

QStringList HeightChoiceNames() {
    return {QStringLiteral("无"), QStringLiteral("自动（按点数）"), QStringLiteral("固定差"),
            QStringLiteral("平面拟合"), QStringLiteral("二次曲面拟合")};
}

bool HeightChoiceFits(int index, std::optional<HeightModelKind>& kind) {
    kind.reset();
    if (index >= 2 && index < 5) kind = kKinds[index - 2];
    return index >= 1 && index < 5;
}

int HeightChoiceOf(HeightModelKind kind) {
    for (int i = 0; i < 3; ++i) {
        if (kKinds[i] == kind) return i + 2;
    }
    return 1;
}

std::optional<QString> FitDialogHeights(const std::vector<CommonPoint>& points,
                                        const std::vector<std::array<double, 2>>& heights,
                                        std::optional<HeightModelKind> kind, double outlierFactor,
                                        DialogHeightFit& fit) {
    // The engine's own collection and fit, so that the window and quorvel-batch agree.
    engine::FitJob job;
    job.heightModel = true;
    job.height.kind = kind;
    job.fit.outlierFactor = outlierFactor;
    engine::FitOutcome outcome;
    outcome.points = points;
    outcome.heights = heights;
    if (auto refusal = engine::FitHeightModel(job, outcome)) {
        return QString::fromStdString(ShownMessage(refusal->words));
    }
    fit.result = std::move(*outcome.height);
    fit.index = std::move(outcome.heightIndex);
    return std::nullopt;
}

QString HeightVerdict(const HeightFitResult& r, double factor) {
    int flagged = 0;
    for (const PointResidual& p : r.points) flagged += p.flagged ? 1 : 0;
    const QString used = QString::number(r.used), k = QString::number(factor);
    if (std::isnan(r.sigma0) || r.redundancy <= 0) {
        return QtMessage(Tr("height model: {0} points take part; without redundancy σ0 is "
                            "undefined and the residuals are not tested"),
                         {used});
    }
    if (flagged > 0) {
        return QtMessage(Tr("height model: {0} points take part; {1} beyond {2} times their "
                            "standard error and 1 mm (K = {2}, red)"),
                         {used, QString::number(flagged), k});
    }
    return QtMessage(Tr("height model: {0} points take part; no residual beyond {1} times its "
                        "standard error and 1 mm (K = {1})"),
                     {used, k});
}

QString HeightModelLines(const HeightModel& m, const std::array<double, 6>* errors, double sigma0,
                         int points) {
    const QString names[] = {QStringLiteral("固定差"), QStringLiteral("平面拟合"),
                             QStringLiteral("二次曲面拟合")};
    const int kind = m.kind == HeightModelKind::Fixed   ? 0
                     : m.kind == HeightModelKind::Plane ? 1
                                                        : 2;
    QString text = QStringLiteral("高程拟合：%1，ζ = h − H\n").arg(names[kind]);
    text += QStringLiteral("  中心 X %1  Y %2  单位 %3 m\n")
                .arg(Number(m.x0, 3), Number(m.y0, 3), Number(m.scale, 3));
    for (int k = 0; k < HeightTermCount(m.kind); ++k) {
        QString line = QStringLiteral("a%1 = %2 m").arg(k).arg(Number(m.a[k], 4), 12);
        if (errors != nullptr) line += QStringLiteral("  中误差 %1 m").arg(Number((*errors)[k], 4));
        text += line + QLatin1Char('\n');
    }
    text += QStringLiteral("高程 σ0 = %1 mm").arg(Number(sigma0 * 1000, 1));
    if (points >= 0) text += QStringLiteral("（%1 点）").arg(points);
    return text;
}

}  // namespace quorvel
