#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "batch/projection_choice.h"
#include "core/ellipsoid.h"
#include "core/gauss_kruger.h"
#include "engine/projection/points.h"

class QComboBox;
class QLineEdit;
class QSettings;

namespace quorvel {

// The ellipsoid and method the window computes with, kept between runs.
struct GeodesySettings {
    // A key of the ellipsoid catalogue; empty for the custom a and rf.
    std::string ellipsoid = std::string(EllipsoidCatalogue().front().key);
    double a = EllipsoidCatalogue().front().a;    // semi-major axis, metres: the entry's or custom
    double rf = EllipsoidCatalogue().front().rf;  // inverse flattening
    Method method = Method::Classic;
    // The height of the projection surface above the ellipsoid, metres (抵偿投影面).
    double projectionHeight = 0;

    // The catalogue's row, or null for a custom ellipsoid.
    const EllipsoidEntry* Named() const { return FindEllipsoid(ellipsoid); }
    // The classic series on Krassovsky: today's results bit for bit.
    bool IsDefault() const {
        const EllipsoidEntry* named = Named();
        return named && named->classicSeries && method == Method::Classic && projectionHeight == 0;
    }
    // "CGCS2000, 精确" ("..., 投影面高程 1720 m" on a raised surface); names a custom ellipsoid
    // by its a and 1/f.
    QString Describe() const;

    // Values that cannot stand (classic off Krassovsky, a custom ellipsoid out of sense) read
    // as the default.
    static GeodesySettings Load(QSettings& settings);
    void Save(QSettings& settings) const;
    bool operator==(const GeodesySettings&) const = default;
};

// The projection the batches compute with; none for the default (the classic series).
ProjectionChoice ProjectionFor(const GeodesySettings& settings);

// The ellipsoid and method of the settings as a job's projection.
engine::Geodesy ProjectionOf(const GeodesySettings& settings);

// "传统级数" or "精确".
QString MethodLabel(Method method);
// "Quorvel", or "Quorvel — CGCS2000, 精确" when the settings are not the default.
QString WindowTitleFor(const GeodesySettings& settings);
// Why a custom a and 1/f make no ellipsoid, or an empty text when they do.
QString CheckCustomEllipsoid(double a, double rf);

// 设置 › 椭球与算法: the ellipsoid first, with the focus; any ellipsoid but Krassovsky takes the
// exact method by itself, since the series hold for Krassovsky alone. Enter accepts.
class SettingsDialog : public QDialog {
    Q_OBJECT

  public:
    explicit SettingsDialog(const GeodesySettings& settings, QWidget* parent = nullptr);
    GeodesySettings settings() const;

    QComboBox* ellipsoidBox() const { return ellipsoid_; }
    QComboBox* methodBox() const { return method_; }
    QLineEdit* aEdit() const { return a_; }
    QLineEdit* rfEdit() const { return rf_; }
    QLineEdit* heightEdit() const { return height_; }

  public slots:
    void accept() override;

  private:
    void EllipsoidChosen(int index);

    QComboBox* ellipsoid_;
    QLineEdit* a_;
    QLineEdit* rf_;
    QComboBox* method_;
    QLineEdit* height_;
};

}  // namespace quorvel
