#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "batch/projection_choice.h"
#include "engine/points.h"

class QComboBox;
class QLineEdit;
class QSettings;

namespace quorvel {

// The ellipsoid and method the window computes with, kept between runs.
struct GeodesySettings {
    enum class Ellipsoid { Krassovsky, Xian80, Cgcs2000, Wgs84, Custom };
    enum class Method { Classic, Exact };

    Ellipsoid ellipsoid = Ellipsoid::Krassovsky;
    double a = 6378245;  // semi-major axis, metres
    double rf = 298.3;   // inverse flattening
    Method method = Method::Classic;

    // The documented series on the Krassovsky ellipsoid: today's results bit for bit.
    bool IsDefault() const {
        return ellipsoid == Ellipsoid::Krassovsky && method == Method::Classic;
    }
    // "CGCS2000, 精确"; names a custom ellipsoid by its a and 1/f.
    QString Describe() const;

    // Values that cannot stand (classic off Krassovsky, a custom ellipsoid out of sense) read
    // as the default.
    static GeodesySettings Load(QSettings& settings);
    void Save(QSettings& settings) const;
    bool operator==(const GeodesySettings&) const = default;
};

// The projection the batches compute with; none for the default (the documented series).
ProjectionChoice ProjectionFor(const GeodesySettings& settings);

// The ellipsoid and method of the settings as a job's projection.
engine::Geodesy ProjectionOf(const GeodesySettings& settings);

// The named ellipsoids in the order the dialog lists them.
QString EllipsoidName(GeodesySettings::Ellipsoid ellipsoid);
QString MethodName(GeodesySettings::Method method);
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

  public slots:
    void accept() override;

  private:
    void EllipsoidChosen(int index);

    QComboBox* ellipsoid_;
    QLineEdit* a_;
    QLineEdit* rf_;
    QComboBox* method_;
};

}  // namespace quorvel
