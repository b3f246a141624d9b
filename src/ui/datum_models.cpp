#include "ui/datum_models.h"

#include <QBrush>
#include <QColor>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <optional>

#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/reading/column_names.h"
#include "engine/reading/point_input.h"
#include "engine/run/job.h"
#include "engine/run/process.h"
#include "print/file_names.h"
#include "ui/point_preview.h"

namespace quorvel {
namespace {

// As much of a common points file as is read: far more points than a fit takes.
constexpr std::size_t kMaxPointsFile = 64 << 20;

std::optional<double> NumberOf(const QString& text) {
    return TryParseNumber(text.trimmed().toStdString());
}

QString Millimetres(double metres) {
    if (std::isnan(metres)) return {};
    return QString::number(metres * 1000, 'f', 1);
}

}  // namespace

CommonPointsModel::CommonPointsModel(QObject* parent) : QAbstractTableModel(parent) {}

void CommonPointsModel::SetLayout(const engine::DatumLayout& layout) {
    beginResetModel();
    layout_ = layout;
    for (Row& r : rows_) {
        while (r.values.size() < static_cast<qsizetype>(layout_.names.size()))
            r.values.append(QString());
    }
    endResetModel();
}

void CommonPointsModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void CommonPointsModel::SetCheck(int row, bool check) {
    if (row < 0 || row >= rowCount()) return;
    rows_[static_cast<std::size_t>(row)].check = check;
    emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
}

int CommonPointsModel::PasteRows(const QString& text) {
    // Text typed in a Chinese document separates with the full-width comma as often as not.
    QString typed = text;
    typed.replace(QChar(0xFF0C), u',');
    const engine::FileHead head =
        engine::ReadHead({typed.toStdString(), true}, {}, false, SIZE_MAX);
    std::vector<std::string> names;
    if (!head.lines.empty()) names = head.lines[0].fields;
    const std::optional<std::vector<std::size_t>> named =
        engine::ColumnsOfNames(engine::ReadColumnNames(names), layout_.names);
    // A height model's columns may be empty: the coordinates alone tell a header.
    std::vector<std::size_t> values;
    for (std::size_t k = 1; k <= layout_.names.size() - layout_.heightCount; ++k)
        values.push_back(named ? (*named)[k] : k);
    const bool header = engine::FirstLineIsHeader(head.lines, values, false);
    std::vector<std::uint64_t> unread;
    return AddLines(head.lines, header && named ? *named : std::vector<std::size_t>(), header,
                    false, unread);
}

int CommonPointsModel::ReadFile(const QString& path, const PointFileChoice& choice,
                                std::vector<std::uint64_t>& unread) {
    const engine::FileHead head = engine::ReadInputHead(
        {EngineFileName(path), IconvEncoding(choice.encoding), choice.sheet.toStdString()},
        choice.decimalComma, SIZE_MAX, kMaxPointsFile);
    return AddLines(head.lines, choice.fields, choice.header, choice.decimalComma, unread);
}

int CommonPointsModel::AddLines(const std::vector<engine::HeadLine>& lines,
                                std::vector<std::size_t> fields, bool header, bool decimalComma,
                                std::vector<std::uint64_t>& unread) {
    if (fields.empty()) {
        for (std::size_t k = 0; k <= layout_.names.size(); ++k) fields.push_back(k);
    }
    std::vector<Row> added;
    std::string buffer;
    for (std::size_t i = header ? 1 : 0; i < lines.size(); ++i) {
        const engine::HeadLine& line = lines[i];
        if (line.status != engine::LineStatus::Fields) {
            unread.push_back(line.number);
            continue;
        }
        const auto field = [&](std::size_t f) {
            return f < line.fields.size() ? line.fields[f] : std::string();
        };
        Row row;
        row.name = QString::fromStdString(field(fields[0]));
        for (std::size_t k = 1; k < fields.size(); ++k) {
            const std::string text = field(fields[k]);
            row.values.append(QString::fromStdString(
                std::string(engine::DecimalText(text, decimalComma, buffer))));
        }
        added.push_back(std::move(row));
    }
    if (added.empty()) return 0;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    for (Row& r : added) rows_.push_back(std::move(r));
    endInsertRows();
    return static_cast<int>(added.size());
}

bool CommonPointsModel::Points(std::vector<CommonPoint>& points, QString& error,
                               std::vector<std::array<double, 2>>* heights) const {
    points.clear();
    if (heights != nullptr) heights->clear();
    const std::size_t coordinates = layout_.names.size() - layout_.heightCount;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& r = rows_[i];
        CommonPoint p;
        std::array<double, 2> height{std::nan(""), std::nan("")};
        p.name = r.name.toStdString();
        p.check = r.check;
        for (std::size_t k = 0; k < layout_.names.size(); ++k) {
            const QString text = r.values.value(static_cast<qsizetype>(k)).trimmed();
            const std::optional<double> v = NumberOf(text);
            // An empty height is no height, as quorvel-batch reads it.
            if (k >= coordinates && text.isEmpty()) continue;
            if (!v || !std::isfinite(*v)) {
                error = QStringLiteral("第 %1 行（%2）的 %3 %4")
                            .arg(i + 1)
                            .arg(r.name, QString::fromStdString(layout_.names[k]),
                                 text.isEmpty() ? QStringLiteral("为空")
                                                : QStringLiteral("“%1”不是数").arg(text));
                return false;
            }
            const double value = layout_.angles[k] ? DecodePackedAngle(*v) : *v;
            if (k >= coordinates) {
                height[k - coordinates] = value;
            } else if (k < layout_.sourceCount) {
                p.source[k] = value;
            } else {
                p.target[k - layout_.sourceCount] = value;
            }
        }
        points.push_back(std::move(p));
        if (heights != nullptr && layout_.heightCount > 0) heights->push_back(height);
    }
    return true;
}

int CommonPointsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CommonPointsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1 + static_cast<int>(layout_.names.size());
}

QVariant CommonPointsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const Row& r = rows_[static_cast<std::size_t>(index.row())];
    if (index.column() == 0) {
        if (role == Qt::CheckStateRole) return r.check ? Qt::Unchecked : Qt::Checked;
        if (role == Qt::DisplayRole || role == Qt::EditRole) return r.name;
        if (role == Qt::ToolTipRole)
            return r.check ? QStringLiteral("检核") : QStringLiteral("参与");
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) return r.values.value(index.column() - 1);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool CommonPointsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid()) return false;
    Row& r = rows_[static_cast<std::size_t>(index.row())];
    // A value put back unchanged (an edit left with Enter) changes nothing: the fit stays.
    if (index.column() == 0 && role == Qt::CheckStateRole) {
        const bool check = value.toInt() != Qt::Checked;
        if (check == r.check) return true;
        r.check = check;
    } else if (role == Qt::EditRole) {
        QString& field = index.column() == 0 ? r.name : r.values[index.column() - 1];
        const QString text = value.toString().trimmed();
        if (text == field) return true;
        field = text;
    } else {
        return false;
    }
    emit dataChanged(index, index, {role});
    return true;
}

Qt::ItemFlags CommonPointsModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant CommonPointsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section == 0) return QStringLiteral("点名（勾选=参与）");
    return QString::fromStdString(layout_.names[static_cast<std::size_t>(section - 1)]);
}

ResidualModel::ResidualModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResidualModel::SetResult(const FitResult& result, SystemKind target, bool heights) {
    beginResetModel();
    result_ = result;
    const QString third =
        target == SystemKind::Geocentric ? QStringLiteral("vZ") : QStringLiteral("vH");
    components_ = target == SystemKind::Geodetic
                      ? QStringList{QStringLiteral("vE"), QStringLiteral("vN")}
                      : QStringList{QStringLiteral("vX"), QStringLiteral("vY")};
    if (target == SystemKind::Geocentric ||
        (heights && result.parameters.model != DatumModel::Four))
        components_.append(third);
    heightColumns_ = false;
    heights_.clear();
    endResetModel();
}

void ResidualModel::SetHeights(const HeightFitResult* height, const std::vector<std::size_t>& index,
                               double factor) {
    beginResetModel();
    heightColumns_ = height != nullptr;
    heights_.assign(result_.points.size(), std::nullopt);
    for (std::size_t j = 0; height != nullptr && j < index.size(); ++j) {
        if (index[j] < heights_.size()) heights_[index[j]] = height->points[j];
    }
    flag_ = QStringLiteral(">%1σ0").arg(factor);
    endResetModel();
}

QString ResidualModel::UseName(PointUse use) {
    switch (use) {
        case PointUse::Fit:
            return QStringLiteral("参与");
        case PointUse::Check:
            return QStringLiteral("检核");
        case PointUse::Dropped:
            return QStringLiteral("剔除");
    }
    return {};
}

QVariant ResidualModel::HeightData(std::size_t row, int column, int role) const {
    const std::optional<PointResidual>& h = heights_[row];
    if (!h) return {};  // a datum point only: neither height given
    if (role == Qt::ForegroundRole)
        return h->flagged ? QVariant(QBrush(QColor(Qt::red))) : QVariant();
    if (role == Qt::TextAlignmentRole && column == 1) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    if (column == 0) return UseName(h->use);
    if (column == 1) return Millimetres(h->v[2]);
    return h->flagged ? flag_ : QString();
}

bool ResidualModel::Flagged(int row) const {
    return row >= 0 && row < rowCount() && result_.points[static_cast<std::size_t>(row)].flagged;
}

int ResidualModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(result_.points.size());
}

int ResidualModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0
                            : 3 + static_cast<int>(components_.size()) + (heightColumns_ ? 3 : 0);
}

QVariant ResidualModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const PointResidual& p = result_.points[static_cast<std::size_t>(index.row())];
    const int c = index.column();
    const int components = static_cast<int>(components_.size());
    // The height model's columns after the plane residual, red by its own flag.
    if (c >= 3 + components) {
        return HeightData(static_cast<std::size_t>(index.row()), c - 3 - components, role);
    }
    if (role == Qt::ForegroundRole && p.flagged) return QBrush(QColor(Qt::red));
    if (c == 0 && role == Qt::CheckStateRole) {
        return p.use == PointUse::Fit ? Qt::Checked : Qt::Unchecked;
    }
    if (role == Qt::TextAlignmentRole && c >= 2) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    if (c == 0) return QString::fromStdString(p.name);
    if (c == 1) return UseName(p.use);
    if (c < 2 + components) return Millimetres(p.v[static_cast<std::size_t>(c - 2)]);
    return Millimetres(p.plane);
}

bool ResidualModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) return false;
    emit useChanged(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags ResidualModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ResidualModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section == 0) return QStringLiteral("点名");
    if (section == 1) return QStringLiteral("用途");
    if (section < 2 + components_.size()) return components_[section - 2] + QStringLiteral(" (mm)");
    if (section == 2 + components_.size()) return QStringLiteral("平面 (mm)");
    const QString heights[] = {QStringLiteral("高程用途"), QStringLiteral("高程 vH (mm)"),
                               QStringLiteral("高程标记")};
    return heights[std::min<qsizetype>(section - 3 - components_.size(), 2)];
}

}  // namespace quorvel
