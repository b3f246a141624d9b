#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "ui/file_job.h"

namespace quorvel {

// The computed rows of a file as a table, each cell written as the CSV writes it when its row
// is shown.
class ResultsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit ResultsModel(std::shared_ptr<const FileJobResult> result, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Whether column `column` holds text, left-aligned: the name, a passed-through column named
    // as a name or a code (点号, 编码), or one whose first and last rows hold a cell that is no
    // number. The computed values and numeric fields line up on the right.
    bool IsTextColumn(int column) const;

    // The cells of a row as the CSV writes them.
    const std::vector<std::string>& Fields(int row) const;

    // Rows as tab-separated text for a spreadsheet, one line per row; a field holding a tab, a
    // line break or a quote is quoted with its quotes doubled.
    QString RowsAsText(const std::vector<int>& rows) const;
    // The headings as the table shows them, one line of the same form, for above those rows.
    QString HeaderAsText() const;

  private:
    std::vector<bool> ClassifyColumns() const;

    std::shared_ptr<const FileJobResult> result_;
    std::vector<bool> text_;  // per column: IsTextColumn
    mutable int cachedRow_ = -1;
    mutable std::vector<std::string> cached_;
};

// The rejected lines: line number and the engine's reason.
class RejectedModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit RejectedModel(std::shared_ptr<const FileJobResult> result, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    std::shared_ptr<const FileJobResult> result_;
};

}  // namespace quorvel
