#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/datum_fit.h"
#include "core/height_model.h"
#include "engine/datum/datum_operation.h"
#include "engine/reading/file_head.h"
#include "ui/point_file_dialog.h"

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

    // Adds the rows of a spreadsheet's copy, its lines split as quorvel-batch splits them
    // (engine/reading/line_parser.h). Blank lines and lines starting with # are skipped; a first
    // line whose coordinates are not numbers above lines whose are is a header, and where its names
    // name the coordinates (engine/reading/column_names.h), they give the columns; else the name
    // and the coordinates come in order. Returns the number of rows added.
    int PasteRows(const QString& text);
    // Adds the points of a file read as `choice` says; `unread` gets the lines that do not read
    // (bad quotes, another encoding). Returns the number added. Throws IoError.
    int ReadFile(const QString& path, const PointFileChoice& choice,
                 std::vector<std::uint64_t>& unread);
    // The coordinates' column names: X1, Y1, H1, X2 ...
    const std::vector<std::string>& coordinateNames() const { return layout_.names; }

    // The points for FitDatum, and with a height model's columns (h, H) each point's heights
    // into `heights`, NaN where empty. Returns false with `error` naming the row and column of
    // the first value that is missing (a coordinate) or not a number.
    bool Points(std::vector<CommonPoint>& points, QString& error,
                std::vector<std::array<double, 2>>* heights = nullptr) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    // Adds the points of `lines` with the name and coordinates in `fields` (empty: in order),
    // the first line left out as a header with `header`.
    int AddLines(const std::vector<engine::HeadLine>& lines, std::vector<std::size_t> fields,
                 bool header, bool decimalComma, std::vector<std::uint64_t>& unread);

    engine::DatumLayout layout_;
    std::vector<Row> rows_;
};

// The residuals of a fit, in millimetres: name, use, the target's components (vX vY vH for plane,
// vE vN vH for geodetic, vX vY vZ for geocentric) and the plane residual. Rows whose residual is
// flagged (beyond K = 3 times its standard error, see core/datum_fit.h) are red. The name's check
// box says whether the point takes part; toggling it emits useChanged, and the dialog refits.
// With a height model beside the datum, its use, vH and flag follow, red by its own flag.
class ResidualModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit ResidualModel(QObject* parent = nullptr);

    void SetResult(const FitResult& result, SystemKind target, bool heights);
    // The height model's use, vH and flag of each point beside the datum's (`index`: where each
    // of its points is among the datum's); none: no height columns.
    void SetHeights(const HeightFitResult* height, const std::vector<std::size_t>& index,
                    double factor);
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
    static QString UseName(PointUse use);
    // A cell of the height model's columns: 0 use, 1 vH, 2 flag.
    QVariant HeightData(std::size_t row, int column, int role) const;

    FitResult result_;
    QStringList components_;
    bool heightColumns_ = false;
    std::vector<std::optional<PointResidual>> heights_;  // per datum row; none without heights
    QString flag_;                                       // ">3σ0", as quorvel-batch flags
};

}  // namespace quorvel
