#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "ui/file_job.h"

namespace quorvel {

// The computed rows of a file as a table: the fields of each CSV record, split only when a row
// is shown, so a million rows cost no more than the text the engine wrote.
class ResultsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit ResultsModel(std::shared_ptr<const FileJobResult> result, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The fields of a row as the CSV holds them.
    const std::vector<std::string>& Fields(int row) const;

    // Rows as tab-separated text for a spreadsheet, one line per row; a field holding a tab, a
    // line break or a quote is quoted with its quotes doubled.
    QString RowsAsText(const std::vector<int>& rows) const;

  private:
    std::shared_ptr<const FileJobResult> result_;
    std::vector<std::string> header_;
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
