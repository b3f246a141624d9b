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

    // The cells of a row as the CSV writes them.
    const std::vector<std::string>& Fields(int row) const;

    // Rows as tab-separated text for a spreadsheet, one line per row; a field holding a tab, a
    // line break or a quote is quoted with its quotes doubled.
    QString RowsAsText(const std::vector<int>& rows) const;

  private:
    std::shared_ptr<const FileJobResult> result_;
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
