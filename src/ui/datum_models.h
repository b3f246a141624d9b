#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <vector>

#include "core/datum_fit.h"
#include "engine/datum_job.h"

namespace quorvel {

// The common points of 坐标转换 as typed: a name, the source's and the target's coordinates as
// texts (packed degrees for L, B, as quorvel-batch reads them), and whether the point takes part
// in the fit (参与, the check box of the name) or is a check point (检核).
class CommonPointsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    struct Row {
        QString name;
        QStringList values;  // one text a coordinate of the layout
        bool check = false;
    };

    explicit CommonPointsModel(QObject* parent = nullptr);

    // The coordinates' columns and which of them are packed angles; rows keep their texts.
    void SetLayout(const engine::DatumLayout& layout);
    const std::vector<Row>& rows() const { return rows_; }
    void Clear();
    void SetCheck(int row, bool check);

    // Adds the rows of a spreadsheet's copy: one point a line, fields separated by tabs (or,
    // for text without a tab, by commas or blanks), the name first. Blank lines and lines
    // starting with # are skipped; so is a first line whose coordinates are not numbers (a
    // header). Returns the number of rows added.
    int PasteRows(const QString& text);

    // The points for FitDatum. Returns false with `error` naming the row and column of the first
    // value that is missing or not a number.
    bool Points(std::vector<CommonPoint>& points, QString& error) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    engine::DatumLayout layout_;
    std::vector<Row> rows_;
};

// The residuals of a fit, in millimetres: name, use, the target's components (vX vY vH for plane,
// vE vN vH for geodetic, vX vY vZ for geocentric) and the plane residual. Rows whose residual is
// flagged (beyond K = 3 times its standard error, see core/datum_fit.h) are red. The name's check
// box says whether the point takes part; toggling it emits useChanged, and the dialog refits.
class ResidualModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit ResidualModel(QObject* parent = nullptr);

    void SetResult(const FitResult& result, SystemKind target, bool heights);
    const FitResult& result() const { return result_; }
    bool Flagged(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  signals:
    void useChanged(int row, bool fitted);

  private:
    FitResult result_;
    QStringList components_;
};

}  // namespace quorvel
