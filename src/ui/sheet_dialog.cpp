#include "ui/sheet_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>
#include <map>
#include <sstream>

#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/reading/file_head.h"
#include "engine/reading/point_input.h"
#include "engine/run/process.h"
#include "engine/run/run.h"
#include "platform/files.h"
#include "print/file_names.h"

namespace quorvel {

using namespace engine;

namespace {

const char* const kScales[] = {"1:100万", "1:50万", "1:25万", "1:10万", "1:5万", "1:2.5万",
                               "1:1万",   "1:5000", "1:2000", "1:1000", "1:500"};
// The corners as the table lists them, with their columns' suffixes.
const char* const kCornerNames[] = {"西南", "东南", "东北", "西北"};
const char* const kCornerKeys[] = {"sw", "se", "ne", "nw"};
// The neighbours' columns at their places in a 3 × 3 grid read row by row; the sheet itself in
// the middle.
const char* const kGrid[] = {"nw", "n", "ne", "w", "", "e", "sw", "s", "se"};

QTableWidget* Table(int rows, int columns, QWidget* parent) {
    auto* t = new QTableWidget(rows, columns, parent);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setTabKeyNavigation(false);  // Tab leaves the table
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    t->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    return t;
}

void Put(QTableWidget* t, int row, int column, const std::string& text) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setTextAlignment(Qt::AlignCenter);
    t->setItem(row, column, item);
}

}  // namespace

SheetDialog::SheetDialog(const GeodesySettings& geodesy, QWidget* parent)
    : QDialog(parent), geodesy_(geodesy) {
    setWindowTitle(QStringLiteral("图幅号"));
    input_ = new QLineEdit(this);
    input_->setPlaceholderText(
        QStringLiteral("L, B（度.分秒）或图幅号，如 116.2825, 39.5430、J50E001010"));
    scale_ = new QComboBox(this);
    for (const char* s : kScales) scale_->addItem(QString::fromUtf8(s));
    scale_->setCurrentIndex(static_cast<int>(SheetScale::K50));
    old_ = new QCheckBox(QStringLiteral("旧图号(&O)"), this);
    projection_ = new QComboBox(this);
    projection_->addItems({QStringLiteral("不计算 X、Y"), QStringLiteral("3° 带"),
                           QStringLiteral("6° 带"), QStringLiteral("中央子午线")});
    meridian_ = new QLineEdit(this);
    meridian_->setPlaceholderText(QStringLiteral("如 117"));
    meridian_->setEnabled(false);
    connect(projection_, &QComboBox::currentIndexChanged, this,
            [this](int i) { meridian_->setEnabled(i == 3); });
    compute_ = new QPushButton(QStringLiteral("计算"), this);
    compute_->setDefault(true);
    file_ = new QPushButton(QStringLiteral("文件(&F)…"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setAutoDefault(false);
    file_->setAutoDefault(false);
    connect(compute_, &QPushButton::clicked, this, &SheetDialog::Compute);
    connect(file_, &QPushButton::clicked, this, &SheetDialog::ChooseFiles);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    number_ = new QLabel(this);
    number_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont big = number_->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    number_->setFont(big);
    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00020"));

    corners_ = Table(4, 4, this);
    corners_->setHorizontalHeaderLabels({"L", "B", "X", "Y"});
    QStringList names;
    for (const char* n : kCornerNames) names << QString::fromUtf8(n);
    corners_->setVerticalHeaderLabels(names);
    neighbours_ = Table(3, 3, this);
    neighbours_->horizontalHeader()->hide();
    neighbours_->verticalHeader()->hide();

    LayOut(close);
    input_->setFocus();
    resize(640, sizeHint().height());
}

void SheetDialog::LayOut(QPushButton* close) {
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("输入(&I)："), input_);
    auto* scaleRow = new QHBoxLayout;
    scaleRow->addWidget(scale_);
    scaleRow->addWidget(old_);
    scaleRow->addStretch();
    // A label beside a row of widgets has no buddy of its own: its Alt key would show as "&S".
    auto* scaleLabel = new QLabel(QStringLiteral("比例尺(&S)："), this);
    scaleLabel->setBuddy(scale_);
    form->addRow(scaleLabel, scaleRow);
    auto* projectionRow = new QHBoxLayout;
    projectionRow->addWidget(projection_);
    projectionRow->addWidget(meridian_);
    auto* projectionLabel = new QLabel(QStringLiteral("图廓点 X、Y(&P)："), this);
    projectionLabel->setBuddy(projection_);
    form->addRow(projectionLabel, projectionRow);
    form->addRow(QStringLiteral("图幅号："), number_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(file_);
    buttons->addStretch();
    buttons->addWidget(compute_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(new QLabel(QStringLiteral("图廓点："), this));
    layout->addWidget(corners_);
    layout->addWidget(new QLabel(QStringLiteral("相邻图幅："), this));
    layout->addWidget(neighbours_);
    layout->addLayout(buttons);

    setTabOrder(input_, scale_);
    setTabOrder(scale_, old_);
    setTabOrder(old_, projection_);
    setTabOrder(projection_, meridian_);
    setTabOrder(meridian_, compute_);
    setTabOrder(compute_, corners_);
    setTabOrder(corners_, neighbours_);
    setTabOrder(neighbours_, file_);
    setTabOrder(file_, close);
}

bool SheetDialog::Job(SheetJob& job, QString& why) const {
    job = SheetJob{};
    job.scale = static_cast<SheetScale>(scale_->currentIndex());
    job.old = old_->isChecked();
    job.neighbours = true;
    const int projection = projection_->currentIndex();
    if (projection == 0) return true;
    job.projection = SheetProjection{ProjectionOf(geodesy_), std::nullopt};
    if (projection < 3) {
        job.projection->geodesy.zone = projection == 1 ? ZoneWidth::Three : ZoneWidth::Six;
        return true;
    }
    const std::optional<double> lo = TryParseNumber(meridian_->text().trimmed().toStdString());
    if (!lo || !(std::abs(*lo) <= 360)) {
        why = QStringLiteral("中央子午线“%1”不是 -360 到 360 之间的度.分秒").arg(meridian_->text());
        return false;
    }
    job.projection->lo = DecodePackedAngle(*lo);
    return true;
}

void SheetDialog::Refuse(const QString& why) {
    problem_->setText(why);
    number_->clear();
    corners_->clearContents();
    neighbours_->clearContents();
}

void SheetDialog::Compute() {
    SheetJob job;
    QString why;
    if (!Job(job, why)) return Refuse(why);
    const QString text = input_->text().trimmed();
    // Two numbers are a point; anything else a sheet number.
    const QStringList parts =
        text.split(QRegularExpression(QStringLiteral("[\\s,，;；]+")), Qt::SkipEmptyParts);
    std::optional<double> L, B;
    if (parts.size() == 2) {
        L = TryParseNumber(parts[0].toStdString());
        B = TryParseNumber(parts[1].toStdString());
    }
    std::string words;
    if (L && B) {
        const auto l = ToMicroArcSeconds(DecodePackedAngle(*L));
        const auto b = ToMicroArcSeconds(DecodePackedAngle(*B));
        const auto sheet = l && b ? SheetAt(*l, *b, job.scale, words) : std::nullopt;
        if (!sheet) return Refuse(QString::fromStdString(words.empty() ? "L, B" : words));
        return Show(job, *sheet);
    }
    TypedSheet typed;
    if (const auto refusal = ReadTypedSheet(job, false, text.toStdString(), typed)) {
        return Refuse(QString::fromStdString(refusal->words));
    }
    job.scale = typed.geographic->scale;
    scale_->setCurrentIndex(static_cast<int>(job.scale));
    Show(job, *typed.geographic);
}

void SheetDialog::Show(const SheetJob& job, const MapSheet& sheet) {
    std::vector<std::string> cells;
    std::string why;
    try {
        if (!SheetCells(job).Geographic(sheet, cells, why)) {
            return Refuse(QString::fromStdString(why));
        }
    } catch (const Error& e) {
        return Refuse(QString::fromStdString(e.what()));
    }
    std::map<std::string, std::string> named;
    const std::vector<std::string> columns = SheetColumns(job);
    for (std::size_t i = 0; i < columns.size() && i < cells.size(); ++i)
        named[columns[i]] = cells[i];
    problem_->clear();
    QString number = QString::fromStdString(named["sheet"]);
    if (named.count("zone"))
        number += QStringLiteral("（%1 带）").arg(QString::fromStdString(named["zone"]));
    number_->setText(number);
    corners_->clearContents();
    for (int i = 0; i < 4; ++i) {
        const std::string key = kCornerKeys[i];
        Put(corners_, i, 0, named[key[1] == 'w' ? "L_sw" : "L_ne"]);
        Put(corners_, i, 1, named[key[0] == 's' ? "B_sw" : "B_ne"]);
        if (job.projection) {
            Put(corners_, i, 2, named["X_" + key]);
            Put(corners_, i, 3, named["Y_" + key]);
        }
    }
    for (int i = 0; i < 9; ++i) {
        Put(neighbours_, i / 3, i % 3, i == 4 ? named["sheet"] : named[kGrid[i]]);
    }
}

bool SheetDialog::NumberFile(const QString& input, const QString& output, QString& said) {
    SheetJob job;
    if (!Job(job, said)) return false;
    job.writing.bom = true;
    // Read as every command reads it: a workbook's first sheet, or text in the encoding its
    // bytes show (UTF-8 or GB18030).
    const std::string path = EngineFileName(input);
    PointInput in;
    try {
        InputChoice choice{path, {}, {}};
        if (!IsWorkbookPath(path)) choice.encoding = SniffEncoding(ReadInputBytes(choice));
        if (const std::string why = in.Open(choice, -1); !why.empty()) {
            said = QString::fromStdString(why);
            return false;
        }
    } catch (const IoError& e) {
        said = QString::fromStdString(e.what());
        return false;
    }
    if (IsInputFile(EngineFileName(output), in.Info())) {
        said = QStringLiteral("%1 是输入文件本身，会被覆盖；请写入另一个文件").arg(output);
        return false;
    }
    std::ostringstream words;
    try {
        AtomicFile file(EngineFileName(output));
        ByteSource& source = in.Source();
        FdSink sink(file.fd(), output.toStdString());
        OutputBuffer out(sink);
        SheetCsvSink csv(job, out);
        RowSink* const sinks[] = {&csv};
        PrintedDiagnostics printed([&job](const Diagnostic& d) { return Describe(d, job); }, words,
                                   QFileInfo(input).fileName().toStdString());
        const RunCounts counts = RunSheets(job, source, sinks, printed);
        file.Commit();
        words << SummaryText(counts);
    } catch (const IoError& e) {
        said = QString::fromStdString(e.what());
        return false;
    }
    said = QString::fromStdString(words.str());
    return true;
}

void SheetDialog::ChooseFiles() {
    const QString input =
        QFileDialog::getOpenFileName(this, QStringLiteral("点文件（点名, L, B）"), QString(),
                                     QStringLiteral("点文件 (*.csv *.txt *.dat *.xlsx *.xls);;"
                                                    "所有文件 (*)"));
    if (input.isEmpty()) return;
    const QString output = QFileDialog::getSaveFileName(
        this, QStringLiteral("图幅号写入"), QFileInfo(input).path() + QStringLiteral("/图幅号.csv"),
        QStringLiteral("CSV (*.csv)"));
    if (output.isEmpty()) return;
    QString said;
    const bool written = NumberFile(input, output, said);
    problem_->setText(written ? QStringLiteral("已写入 %1。%2").arg(output, said) : said);
}

}  // namespace quorvel
