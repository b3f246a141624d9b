#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

namespace quorvel {

// A file of points converted with a parameter file by quorvel-batch's own transform run, so
// that the CSV shown and exported is the command's byte for byte.
struct DatumConversion {
    std::vector<std::string> args;  // after the program name, without -o
    std::string command;            // the quorvel-batch command that writes the same CSV
    int status = 2;                 // as quorvel-batch exits
    std::string messages;           // what the run said about lines and the whole run
};

// Converts `input` to the CSV file `output` (with a byte order mark, as exported). A first line
// whose second field is not a number is read as a header; a file that is not UTF-8 is read as
// GB18030.
DatumConversion ConvertFile(const QString& parameterPath, const QString& input,
                            const QString& output);

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
