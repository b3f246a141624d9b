#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "core/parameter_file.h"
#include "ui/point_file_dialog.h"

namespace quorvel {

// A file of points converted with a parameter file by quorvel-batch's own transform run, so
// that the CSV shown and exported is the command's byte for byte.
struct DatumConversion {
    std::vector<std::string> args;  // after the program name, without -o
    std::string command;            // the quorvel-batch command that writes the same CSV
    int status = 2;                 // as RunCommand's
    std::string messages;           // what the run said about lines and the whole run
};

// Converts `input` to the CSV file `output` (with a byte order mark, as exported), reading it
// as `reading` says.
DatumConversion ConvertFile(const QString& parameterPath, const QString& input,
                            const QString& output, const PointFileChoice& reading);
// The same, reading the file as it suggests (GuessPointFile): its encoding, a header and the
// columns that header names.
DatumConversion ConvertFile(const QString& parameterPath, const QString& input,
                            const QString& output);
// The names of the coordinates a transform with `file` reads: X1, Y1 (H1), or L1, B1 (H1) ...
std::vector<std::string> TransformCoordinates(const ParameterFile& file);

// The converted points in a table, the command and the run's messages, and 导出 CSV….
class ConvertedWindow : public QDialog {
    Q_OBJECT

  public:
    ConvertedWindow(const DatumConversion& conversion, const QString& csv, QWidget* parent);
    // Copies the CSV shown to `path`; false with `error` when it cannot be written.
    bool ExportTo(const QString& path, QString& error) const;
    int rows() const;

  public slots:
    void Export();

  private:
    QString csv_;
    int rows_ = 0;
};

}  // namespace quorvel
