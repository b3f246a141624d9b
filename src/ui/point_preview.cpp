#include "ui/point_preview.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/errors.h"
#include "core/messages.h"
#include "engine/reading/file_head.h"
#include "engine/reading/point_input.h"
#include "engine/run/job.h"
#include "print/file_names.h"
#include "print/qt_messages.h"

namespace quorvel {
namespace {

QString Utf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

engine::HeadBytes HeadOf(const QString& path) {
    return engine::ReadInputBytes({EngineFileName(path), {}, {}});
}

}  // namespace

std::vector<PreviewLine> PreviewFile(const QString& path, const QString& encoding,
                                     bool decimalComma, int maxLines, const QString& sheet) {
    std::vector<PreviewLine> lines;
    engine::FileHead head;
    const bool workbook = IsWorkbookFile(path);
    try {
        const std::string iconv = workbook ? std::string() : IconvEncoding(encoding);
        head = engine::ReadInputHead({EngineFileName(path), iconv, sheet.toStdString()},
                                     decimalComma, static_cast<std::size_t>(std::max(maxLines, 0)));
    } catch (const Error&) {
        return lines;  // nothing to show; the run says why
    }
    const bool decoded = !workbook && !encoding.isEmpty() && !head.utf8Mark;
    for (const engine::HeadLine& h : head.lines) {
        PreviewLine& p = lines.emplace_back();
        p.line = h.number;
        switch (h.status) {
            case engine::LineStatus::InvalidUtf8:
                p.problem = decoded ? QtMessage(Tr("not {0} text"), {encoding.toUpper()})
                                    : QtMessage(Tr("not UTF-8 text: choose the GB18030 encoding"));
                continue;
            case engine::LineStatus::UnclosedQuote:
            case engine::LineStatus::TextAfterQuote:
            case engine::LineStatus::QuoteInUnquoted:
                p.problem = QtMessage(Tr("unmatched quotes"));
                continue;
            case engine::LineStatus::Fields:
            case engine::LineStatus::Skip:
                break;
        }
        for (const std::string& f : h.fields) p.fields.push_back(Utf8(f));
    }
    return lines;
}

QString PreviewProblem(const PreviewLine& line, const std::vector<std::size_t>& fields,
                       bool decimalComma) {
    if (!line.problem.isEmpty()) return line.problem;
    const std::size_t needed = *std::max_element(fields.begin(), fields.end()) + 1;
    if (line.fields.size() < needed) {
        return QtMessage(TrN("only {0} field", "only {0} fields", line.fields.size()),
                         {QString::number(line.fields.size())});
    }
    for (std::size_t k = 1; k < fields.size(); ++k) {
        if (!engine::ReadsAsNumber(line.fields[fields[k]].toStdString(), decimalComma))
            return QtMessage(Tr("not a number"));
    }
    return {};
}

bool LooksLikeHeader(const std::vector<PreviewLine>& lines, const std::vector<std::size_t>& fields,
                     bool decimalComma) {
    std::vector<engine::HeadLine> head;
    for (const PreviewLine& p : lines) {
        engine::HeadLine& h = head.emplace_back();
        h.status = p.problem.isEmpty() ? engine::LineStatus::Fields : engine::LineStatus::Skip;
        for (const QString& f : p.fields) h.fields.push_back(f.toStdString());
    }
    const std::vector<std::size_t> values(fields.begin() + (fields.empty() ? 0 : 1), fields.end());
    return engine::FirstLineIsHeader(head, values, decimalComma);
}

std::string IconvEncoding(const QString& offered) {
    std::string iconvName;
    if (offered.isEmpty() || engine::ReadEncoding(offered.toStdString(), iconvName)) return {};
    return iconvName;
}

bool IsWorkbookFile(const QString& path) {
    return engine::IsWorkbookPath(EngineFileName(path));
}

QStringList WorkbookSheetNames(const QString& path) {
    QStringList names;
    try {
        for (const std::string& n : engine::WorkbookSheets(EngineFileName(path))) names << Utf8(n);
    } catch (const Error&) {
    }
    return names;
}

QStringList PointFileFilters() {
    return {QStringLiteral("点文件 (*.csv *.txt *.tsv *.dat)"),
            QStringLiteral("Excel 工作簿 (*.xlsx *.xls)"), QStringLiteral("所有文件 (*)")};
}

bool FillSheetBox(QComboBox& box, QLabel& label, const QString& path) {
    const bool workbook = IsWorkbookFile(path);
    box.clear();
    if (workbook) box.addItems(WorkbookSheetNames(path));
    box.setVisible(workbook);
    label.setVisible(workbook);
    return workbook;
}

QString SniffedEncoding(const QString& path) {
    if (IsWorkbookFile(path)) return {};  // a workbook carries its own
    try {
        return engine::SniffEncoding(HeadOf(path)).empty() ? QString() : QStringLiteral("gb18030");
    } catch (const Error&) {
        return {};
    }
}

bool LooksLikeGb18030(const QString& path) {
    return !SniffedEncoding(path).isEmpty();
}

std::size_t KeptFields(const PreviewLine& line) {
    std::vector<std::string> fields;
    for (const QString& f : line.fields) fields.push_back(f.toStdString());
    return engine::KeptFields(fields, engine::kPointFields);
}

std::size_t ColumnCount(const std::vector<PreviewLine>& lines) {
    std::size_t count = engine::kPointFields;
    for (const PreviewLine& p : lines) count = std::max(count, KeptFields(p));
    return count;
}

std::vector<QString> HeaderNames(const std::vector<PreviewLine>& lines, bool header) {
    if (!header || lines.empty()) return {};
    const std::size_t kept = KeptFields(lines[0]);
    return {lines[0].fields.begin(), lines[0].fields.begin() + static_cast<qsizetype>(kept)};
}

QString HeaderKey(const std::vector<PreviewLine>& lines, bool header, std::size_t count) {
    if (!header || lines.empty()) return QStringLiteral("columns-%1").arg(count);
    QStringList names;
    for (const QString& n : HeaderNames(lines, header)) names << n;
    return QString::fromLatin1(
        QCryptographicHash::hash(names.join(QChar(0x1F)).toUtf8(), QCryptographicHash::Sha1)
            .toHex());
}

QWidget* RolePreviewBody(QWidget& dialog, const QString& path, QLabel* rolesLabel,
                         QTableWidget* preview, QLabel* fields, QLayout* form) {
    auto* file = new QLabel(QStringLiteral("文件：") + QDir::toNativeSeparators(path), &dialog);
    file->setObjectName(QStringLiteral("file"));
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    file->setWordWrap(true);
    preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview->setSelectionMode(QAbstractItemView::NoSelection);
    // Tab moves between the role boxes and on through the dialog, not from cell to cell.
    preview->setTabKeyNavigation(false);
    preview->setFocusPolicy(Qt::NoFocus);
    preview->verticalHeader()->setVisible(false);
    fields->setWordWrap(true);
    fields->setObjectName(QStringLiteral("roles"));
    auto* body = new QWidget(&dialog);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(file);
    layout->addWidget(rolesLabel);
    layout->addWidget(preview, 1);
    layout->addWidget(fields);
    layout->addLayout(form);
    return body;
}

std::vector<QComboBox*> ShowRolePreview(QTableWidget& table, const std::vector<PreviewLine>& lines,
                                        bool header, const QStringList& roleNames,
                                        const std::vector<int>& roles,
                                        const std::function<void(std::size_t, int)>& changed) {
    header = header && !lines.empty();
    const std::size_t columns = roles.size();
    QStringList names{QStringLiteral("行")};
    for (std::size_t i = 0; i < columns; ++i) {
        const bool named = header && i < lines[0].fields.size() && !lines[0].fields[i].isEmpty();
        names << (named ? lines[0].fields[i] : QStringLiteral("字段 %1").arg(i + 1));
    }
    names << QStringLiteral("说明");
    const std::size_t first = header ? 1 : 0;
    table.clear();
    table.setColumnCount(static_cast<int>(names.size()));
    table.setHorizontalHeaderLabels(names);
    table.setRowCount(static_cast<int>(lines.size() - first + 1));
    table.setItem(0, 0, new QTableWidgetItem(QStringLiteral("用途")));
    std::vector<QComboBox*> boxes;
    for (std::size_t i = 0; i < columns; ++i) {
        auto* box = new QComboBox;
        box->addItems(roleNames);
        box->setCurrentIndex(roles[i]);
        box->setAccessibleName(QStringLiteral("第 %1 列的用途").arg(i + 1));
        QObject::connect(box, &QComboBox::currentIndexChanged, &table,
                         [changed, i](int role) { changed(i, role); });
        table.setCellWidget(0, static_cast<int>(i) + 1, box);
        boxes.push_back(box);
    }
    for (std::size_t r = first; r < lines.size(); ++r) {
        const PreviewLine& p = lines[r];
        const int row = static_cast<int>(r - first) + 1;
        table.setItem(row, 0, new QTableWidgetItem(QString::number(p.line)));
        for (std::size_t i = 0; i < p.fields.size() && i < columns; ++i)
            table.setItem(row, static_cast<int>(i) + 1, new QTableWidgetItem(p.fields[i]));
    }
    const int boxHeight = boxes.empty() ? 0 : boxes.front()->sizeHint().height();
    table.verticalHeader()->setDefaultSectionSize(
        std::max(table.fontMetrics().height() + 6, boxHeight));
    return boxes;
}

void ShowLineProblems(QTableWidget& table, const std::vector<PreviewLine>& lines, bool header,
                      const std::function<QString(const PreviewLine&)>& problem,
                      const std::function<bool(std::size_t)>& grey) {
    header = header && !lines.empty();
    const int problemColumn = table.columnCount() - 1;
    const std::size_t first = header ? 1 : 0;
    for (std::size_t r = first; r < lines.size(); ++r) {
        table.setItem(static_cast<int>(r - first) + 1, problemColumn,
                      new QTableWidgetItem(problem(lines[r])));
    }
    for (int column = 1; column < problemColumn && !lines.empty(); ++column) {
        const bool greyed = grey(static_cast<std::size_t>(column) - 1);
        for (int row = 1; row < table.rowCount(); ++row) {
            if (QTableWidgetItem* item = table.item(row, column))
                item->setForeground(greyed ? Qt::gray : Qt::black);
        }
    }
    table.resizeColumnsToContents();
}

}  // namespace quorvel
