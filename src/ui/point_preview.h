#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLayout;
class QWidget;
class QTableWidget;

namespace quorvel {

// The first lines of a file as a run will read them (engine/reading/file_head.h), for the preview
// of 从文件计算 and of 坐标转换's point files: line number, then the fields, or the reason the line
// cannot be read. Comments and empty lines are left out.
struct PreviewLine {
    std::size_t line = 0;
    std::vector<QString> fields;
    QString problem;
};
// `encoding` as --encoding reads it ("gb18030", "gbk"); empty for UTF-8; not for a workbook,
// whose sheet `sheet` (empty: the first) is shown, its rows' numbers as line numbers.
std::vector<PreviewLine> PreviewFile(const QString& path, const QString& encoding,
                                     bool decimalComma = false, int maxLines = 12,
                                     const QString& sheet = {});

// Whether the file is an Excel workbook (.xlsx, .xls), which the file dialogs offer beside text.
bool IsWorkbookFile(const QString& path);
// The workbook's sheets, in its order; none when it cannot be read (the run says why).
QStringList WorkbookSheetNames(const QString& path);
// The file dialogs' filters: point files, Excel workbooks, all files.
QStringList PointFileFilters();
// 工作表: the box of a workbook's sheets, the first chosen; hidden, and empty, for text. Its label
// `label` goes with it. Returns whether the file is a workbook.
bool FillSheetBox(QComboBox& box, QLabel& label, const QString& path);
// Why a previewed line would be rejected with the name and values in `fields` (the name's
// first); empty when it reads as a point.
QString PreviewProblem(const PreviewLine& line, const std::vector<std::size_t>& fields,
                       bool decimalComma);
// Whether the first line is a header: one of the values in `fields` (after the name) does not
// read as a number, and all of them do in a later line.
bool LooksLikeHeader(const std::vector<PreviewLine>& lines, const std::vector<std::size_t>& fields,
                     bool decimalComma);

// Whether the file's start is not UTF-8 but reads as GB18030, as files saved by Chinese Windows
// programs do.
bool LooksLikeGb18030(const QString& path);
// The encoding a file suggests, as --encoding reads it: "gb18030" or empty for UTF-8.
QString SniffedEncoding(const QString& path);
// The iconv name of an encoding the dialogs offer ("gb18030", "gbk", "utf-8"); empty for UTF-8.
// Offered names always read; anything else is taken as UTF-8.
std::string IconvEncoding(const QString& offered);

// The fields of a previewed line that count: trailing empty ones beyond a point's go.
std::size_t KeptFields(const PreviewLine& line);
// The columns of the widest line previewed, at least a point's.
std::size_t ColumnCount(const std::vector<PreviewLine>& lines);
// The names of the header line, as many as it keeps; empty without a header.
std::vector<QString> HeaderNames(const std::vector<PreviewLine>& lines, bool header);
// Where the choices kept for a file are found: its header's names, or its number of columns.
QString HeaderKey(const std::vector<PreviewLine>& lines, bool header, std::size_t count);

// The preview with a role for each column in its first row, as 从文件计算 and 坐标转换 show it:
// the header's names (or 字段 n) head the columns, then the line number, the fields and 说明.
// Each box lists `roleNames`, the current entry `roles[i]`; `changed(column, role)` is called
// when one changes. Returns the boxes, one a column.
std::vector<QComboBox*> ShowRolePreview(QTableWidget& table, const std::vector<PreviewLine>& lines,
                                        bool header, const QStringList& roleNames,
                                        const std::vector<int>& roles,
                                        const std::function<void(std::size_t, int)>& changed);
// Fills the preview's 说明 with `problem` of each line shown, and greys the columns `grey` says.
void ShowLineProblems(QTableWidget& table, const std::vector<PreviewLine>& lines, bool header,
                      const std::function<QString(const PreviewLine&)>& problem,
                      const std::function<bool(std::size_t)>& grey);
// The body of a dialog with the preview: the file's path, `rolesLabel`, the preview (set up as
// one that shows, not one to edit or to tab through), `fields` (what the roles give) and `form`.
// The caller may add more below.
QWidget* RolePreviewBody(QWidget& dialog, const QString& path, QLabel* rolesLabel,
                         QTableWidget* preview, QLabel* fields, QLayout* form);

}  // namespace quorvel
