#include "ui/datum_convert.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QStringDecoder>
#include <QTableView>
#include <QVBoxLayout>
#include <cstring>
#include <sstream>

#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/number_text.h"
#include "engine/datum_run.h"
#include "engine/run.h"
#include "engine/text_io.h"
#include "ui/file_job.h"

namespace quorvel {
namespace {

// The fields of one CSV line as the transform run writes them (quotes doubled inside quotes).
QStringList CsvFields(const QString& line) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

}  // namespace

DatumConversion ConvertFile(const QString& parameterPath, const QString& input,
                            const QString& output) {
    DatumConversion c;
    c.args = {"transform", "-p", QFile::encodeName(parameterPath).toStdString(), "--bom"};
    QFile file(input);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray head = file.read(1 << 16);
        // A multi-byte character cut at the end of the sample is no sign of another encoding.
        const QByteArray whole = head.size() < (1 << 16) ? head : head.chopped(3);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8(whole);
        if (utf8.hasError()) {
            c.args.insert(c.args.end(), {"--encoding", "GB18030"});
            text = QStringDecoder("GB18030")(head);
        }
        for (const QString& line : text.split(u'\n')) {
            const QString t = line.trimmed();
            if (t.isEmpty() || t.startsWith(u'#')) continue;
            const QStringList fields = t.contains(u'\t')
                                           ? t.split(u'\t')
                                           : t.split(QRegularExpression(QStringLiteral("[,\\s]+")));
            if (!TryParseNumber(fields.value(1).trimmed().toStdString()))
                c.args.push_back("--header");
            break;
        }
    }
    c.args.insert(c.args.end(), {"--", QFile::encodeName(input).toStdString()});
    c.command = ShellCommand(c.args);
    std::vector<std::string> run = c.args;
    run.insert(run.end() - 2, {"-o", QFile::encodeName(output).toStdString()});
    std::vector<std::string_view> views(run.begin(), run.end());
    std::ostringstream messages;
    c.status = engine::RunDatumCommand(views, {0, 1, messages, messages, false, {}});
    c.messages = messages.str();
    return c;
}

ConvertedWindow::ConvertedWindow(const DatumConversion& conversion, const QString& csv,
                                 QWidget* parent)
    : QDialog(parent), csv_(csv) {
    setWindowTitle(QStringLiteral("转换结果"));
    auto* layout = new QVBoxLayout(this);
    auto* model = new QStandardItemModel(this);
    QFile file(csv);
    if (file.open(QIODevice::ReadOnly)) {
        QString text = QString::fromUtf8(file.readAll());
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
        QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
        if (!lines.isEmpty())
            model->setHorizontalHeaderLabels(CsvFields(lines.takeFirst().trimmed()));
        for (const QString& line : lines) {
            QList<QStandardItem*> items;
            for (const QString& f : CsvFields(line.trimmed())) items << new QStandardItem(f);
            model->appendRow(items);
        }
        rows_ = model->rowCount();
    }
    auto* view = new QTableView(this);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(view, 3);
    auto* commandLabel = new QLabel(QStringLiteral("同样结果的命令(&M)："), this);
    auto* command = new QLineEdit(QString::fromStdString(conversion.command), this);
    command->setReadOnly(true);
    commandLabel->setBuddy(command);
    layout->addWidget(commandLabel);
    layout->addWidget(command);
    if (!conversion.messages.empty()) {
        auto* messages = new QPlainTextEdit(QString::fromStdString(conversion.messages), this);
        messages->setReadOnly(true);
        layout->addWidget(messages, 1);
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* exportButton =
        buttons->addButton(QStringLiteral("导出 CSV(&E)…"), QDialogButtonBox::ActionRole);
    exportButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    connect(exportButton, &QPushButton::clicked, this, &ConvertedWindow::Export);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(820, 560);
}

int ConvertedWindow::rows() const {
    return rows_;
}

bool ConvertedWindow::ExportTo(const QString& path, QString& error) const {
    QFile file(csv_);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    try {
        AtomicFile out(QFile::encodeName(path).toStdString());
        engine::FdSink sink(out.fd(), path.toStdString());
        engine::OutputBuffer buffer(sink);
        buffer.Append(std::string_view(bytes.constData(), std::size_t(bytes.size())));
        buffer.Flush();
        out.Commit();
    } catch (const IoError& e) {
        error = e.code() != 0 ? QString::fromLocal8Bit(std::strerror(e.code()))
                              : QString::fromStdString(e.what());
        return false;
    }
    return true;
}

void ConvertedWindow::Export() {
    QFileDialog dialog(this, QStringLiteral("导出 CSV"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString error;
    if (!ExportTo(dialog.selectedFiles().constFirst(), error)) {
        QMessageBox::warning(this, QStringLiteral("导出 CSV"), error);
    }
}

}  // namespace quorvel
