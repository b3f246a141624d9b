#include "ui/results_model.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "core/messages.h"
#include "core/number_text.h"
#include "engine/reading/column_names.h"

namespace quorvel {
namespace {

int ClampToInt(std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max()));
}

QString ForSpreadsheet(const std::string& field) {
    const QString text = QString::fromStdString(field);
    if (!text.contains(u'\t') && !text.contains(u'\n') && !text.contains(u'\r') &&
        !text.contains(u'"')) {
        return text;
    }
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// The table's heading of a column the CSV names `name` (the export keeps the CSV's names).
QString ChineseHeading(const std::string& name) {
    static const std::pair<const char*, const char*> kHeadings[] = {
        {"name", "点名"},    {"L", "经度 L"},     {"B", "纬度 B"},       {"X", "纵坐标 X"},
        {"Y", "横坐标 Y"},   {"X1", "纵坐标 X1"}, {"Y1", "横坐标 Y1"},   {"X2", "纵坐标 X2"},
        {"Y2", "横坐标 Y2"}, {"zone", "带号"},    {"gamma", "收敛角 γ"}, {"k", "长度比 k"},
        {"dX", "dX (毫米)"}, {"dY", "dY (毫米)"}, {"dB", "dB (毫米)"},   {"dL", "dL (毫米)"},
    };
    for (const auto& [english, chinese] : kHeadings) {
        if (name == english) return QString::fromUtf8(chinese);
    }
    if (name == "distortion") return QStringLiteral("长度变形 (厘米/千米)");
    return QString::fromStdString(name);
}

// The columns a run computes, the name first; the fields passed through follow them.
std::size_t OwnColumns(const FileJobResult& result) {
    if (const engine::TransformJob* t = result.transform()) {
        const ParameterFile& f = t->parameters;
        return 1 + TypedCount(f.from, f.heights) + TypedCount(f.to, f.heights);
    }
    const engine::Job& job = result.rows.job();
    return 5 + engine::ExtraColumnNames(job.geodesy, job.mode).size();
}

}  // namespace

ResultsModel::ResultsModel(std::shared_ptr<const FileJobResult> result, QObject* parent)
    : QAbstractTableModel(parent), result_(std::move(result)) {
    text_ = ClassifyColumns();  // reads rows through the cache, which is made by now
}

std::vector<bool> ResultsModel::ClassifyColumns() const {
    const std::vector<std::string>& names = result_->rows.Columns();
    std::vector<bool> text(names.size(), false);
    if (text.empty()) return text;
    text[0] = true;
    // The first rows and the last, as the column widths are measured: a million rows would
    // stall the window.
    const int count = rowCount();
    std::vector<int> rows;
    for (int r = 0; r < count && r < 100; ++r) rows.push_back(r);
    for (int r = std::max(100, count - 100); r < count; ++r) rows.push_back(r);
    const bool named =
        result_->transform() ? result_->transform()->reading.header : result_->rows.job().header;
    for (std::size_t c = OwnColumns(*result_); c < names.size(); ++c) {
        const engine::ColumnKind kind = engine::ReadColumnName(names[c]).kind;
        if (named && (kind == engine::ColumnKind::Name || kind == engine::ColumnKind::Code)) {
            text[c] = true;
            continue;
        }
        for (int r : rows) {
            const std::string& cell = Fields(r)[c];
            if (!TrimBlanks(cell).empty() && !TryParseNumber(cell)) {
                text[c] = true;
                break;
            }
        }
    }
    return text;
}

bool ResultsModel::IsTextColumn(int column) const {
    return column >= 0 && static_cast<std::size_t>(column) < text_.size() &&
           text_[static_cast<std::size_t>(column)];
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ClampToInt(result_->rows.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(result_->rows.Columns().size());
}

const std::vector<std::string>& ResultsModel::Fields(int row) const {
    if (row != cachedRow_) {
        const engine::RowStore& rows = result_->rows;
        cached_.resize(rows.Columns().size());
        for (std::size_t c = 0; c < cached_.size(); ++c) {
            cached_[c] = rows.Cell(static_cast<std::size_t>(row), c);
        }
        cachedRow_ = row;
    }
    return cached_;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::TextAlignmentRole) {
        // Numbers line up on the right, names and other text on the left.
        return IsTextColumn(index.column()) ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                            : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) return {};
    const std::vector<std::string>& fields = Fields(index.row());
    const auto column = static_cast<std::size_t>(index.column());
    return column < fields.size() ? QString::fromStdString(fields[column]) : QString();
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    const auto column = static_cast<std::size_t>(section);
    const std::vector<std::string>& columns = result_->rows.Columns();
    if (column >= columns.size()) return {};
    // The computation's own columns in Chinese; the fields passed through keep the header's
    // names, and "field4" without one reads 字段 4.
    const engine::Job& job = result_->rows.job();
    const std::string& name = columns[column];
    if (const engine::TransformJob* t = result_->transform()) {
        // X and Y read 纵坐标 and 横坐标 on a plane system only: geocentric X is neither.
        const ParameterFile& f = t->parameters;
        const std::size_t from = TypedCount(f.from, f.heights), to = TypedCount(f.to, f.heights);
        if (column == 0) return ChineseHeading(name);
        if (column <= from + to) {
            const bool plane = (column <= from ? f.from : f.to).kind == SystemKind::Plane;
            return plane ? ChineseHeading(name) : QString::fromStdString(name);
        }
        if (!t->reading.header && name.starts_with("field"))
            return QStringLiteral("字段 ") + QString::fromStdString(name.substr(5));
        return QString::fromStdString(name);
    }
    if (column < OwnColumns(*result_)) return ChineseHeading(name);
    if (!job.header && name.starts_with("field"))
        return QStringLiteral("字段 ") + QString::fromStdString(name.substr(5));
    return QString::fromStdString(name);
}

QString ResultsModel::RowsAsText(const std::vector<int>& rows) const {
    QString text;
    for (int row : rows) {
        const std::vector<std::string>& fields = Fields(row);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) text += u'\t';
            text += ForSpreadsheet(fields[i]);
        }
        text += u'\n';
    }
    return text;
}

QString ResultsModel::HeaderAsText() const {
    QString text;
    for (int c = 0; c < columnCount(); ++c) {
        if (c > 0) text += u'\t';
        text += ForSpreadsheet(headerData(c, Qt::Horizontal).toString().toStdString());
    }
    return text + u'\n';
}

RejectedModel::RejectedModel(std::shared_ptr<const FileJobResult> result, QObject* parent)
    : QAbstractTableModel(parent), result_(std::move(result)) {}

int RejectedModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ClampToInt(result_->diagnostics.size());
}

int RejectedModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant RejectedModel::data(const QModelIndex& index, int role) const {
    // The whole reason as the tooltip, where the column is too narrow for it.
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    const engine::Diagnostic& d = result_->diagnostics.at(static_cast<std::size_t>(index.row()));
    if (index.column() == 0 && role == Qt::ToolTipRole) return {};
    if (index.column() == 0) return d.OfRun() ? QVariant() : QVariant(qulonglong{d.line});
    if (const engine::TransformJob* t = result_->transform()) {
        return QString::fromStdString(engine::DescribeMarked(d, *t));
    }
    return QString::fromStdString(engine::DescribeMarked(d, result_->job));
}

QVariant RejectedModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    return section == 0 ? QStringLiteral("行") : QStringLiteral("原因");
}

}  // namespace quorvel
