#include "ui/measure_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "core/errors.h"
#include "core/messages.h"
#include "engine/measure/measure_texts.h"
#include "engine/reading/file_head.h"
#include "engine/reading/point_input.h"
#include "engine/run/job.h"
#include "print/file_names.h"

namespace quorvel {

using namespace engine;

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The table's captions of the columns LegColumns names.
QStringList LegCaptions(bool projected) {
    QStringList captions = {QStringLiteral("起点"), QStringLiteral("终点"),
                            QStringLiteral("距离 (m)"), QStringLiteral("方位角 (度.分秒)")};
    if (projected) {
        captions << QStringLiteral("椭球面距离 (m)") << QStringLiteral("大地方位角 (度.分秒)")
                 << QStringLiteral("距离差 (mm)") << QStringLiteral("方位角差 (″)");
    }
    return captions;
}

QPlainTextEdit* PointsEditor(QWidget* parent) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setPlaceholderText(
        QStringLiteral("每行一点：点名 X Y（逗号、空格或制表符分隔，"
                       "可从 Excel 粘贴）"));
    edit->setTabChangesFocus(true);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    return edit;
}

}  // namespace

MeasureDialog::MeasureDialog(const GeodesySettings& settings, Tab tab, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      tabs_(new QTabWidget(this)),
      meridian_(new QLineEdit(this)),
      legPoints_(PointsEditor(this)),
      pairs_(new QCheckBox(QStringLiteral("两两成对(&P)"), this)),
      legs_(new QTableWidget(this)),
      areaPoints_(PointsEditor(this)),
      areaResult_(new QLabel(this)),
      message_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("坐标反算与面积"));
    auto* form = new QFormLayout;
    meridian_->setPlaceholderText(QStringLiteral("空：只算平面"));
    auto* meridianLabel = new QLabel(QStringLiteral("中央子午线 L0(&L)："), this);
    meridianLabel->setBuddy(meridian_);
    form->addRow(meridianLabel, meridian_);
    form->addRow(QStringLiteral("椭球与算法："), new QLabel(settings.Describe(), this));
    tabs_->addTab(BuildDistanceTab(), QStringLiteral("坐标反算(&D)"));
    tabs_->addTab(BuildAreaTab(), QStringLiteral("面积计算(&A)"));
    tabs_->setCurrentIndex(static_cast<int>(tab));
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* open = new QPushButton(QStringLiteral("打开文件…(&O)"), this);
    connect(open, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, QStringLiteral("打开点文件"), QString(),
            QStringLiteral("点文件 (*.csv *.txt *.dat *.xlsx *.xls);;文本文件 (*.csv *.txt *.dat);;"
                           "Excel 工作簿 (*.xlsx *.xls);;所有文件 (*)"));
        if (!path.isEmpty()) LoadFile(path);
    });
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(tabs_, 1);
    layout->addWidget(message_);
    layout->addLayout(buttons);
    for (QPlainTextEdit* edit : {legPoints_, areaPoints_}) {
        connect(edit, &QPlainTextEdit::textChanged, this, &MeasureDialog::Compute);
    }
    connect(meridian_, &QLineEdit::textChanged, this, &MeasureDialog::Compute);
    connect(pairs_, &QCheckBox::toggled, this, &MeasureDialog::Compute);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        (index == 0 ? legPoints_ : areaPoints_)->setFocus();
        Compute();
    });
    setTabOrder(meridian_, tabs_);
    (tab == Tab::Distance ? legPoints_ : areaPoints_)->setFocus();
    // Fits a laptop's 1366 × 768 at 125 % (1093 × 614 logical pixels) with room for the frame.
    resize(760, 520);
}

QWidget* MeasureDialog::BuildDistanceTab() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(legPoints_, 1);
    layout->addWidget(pairs_);
    legs_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    legs_->setTabKeyNavigation(false);
    legs_->verticalHeader()->hide();
    legs_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(legs_, 2);
    return page;
}

QWidget* MeasureDialog::BuildAreaTab() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(areaPoints_, 1);
    areaResult_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    areaResult_->setWordWrap(true);
    layout->addWidget(areaResult_);
    return page;
}

bool MeasureDialog::LoadFile(const QString& path) {
    // Room for a few hundred thousand points; larger files are quorvel-batch's.
    constexpr std::size_t kMaxBytes = 16 << 20;
    std::string text;
    try {
        // A workbook's first sheet comes as its rows in lines, as every command reads it.
        const bool workbook = IsWorkbookPath(EngineFileName(path));
        const HeadBytes file = workbook ? ReadInputBytes({EngineFileName(path), {}, {}}, kMaxBytes)
                                        : ReadHeadBytes(EngineFileName(path), kMaxBytes);
        if (!file.whole) {
            message_->setText(
                QStringLiteral("文件超过 16 MiB：请用 quorvel-batch distance 或 area 计算"));
            return false;
        }
        const std::string encoding = workbook ? std::string() : SniffEncoding(file);
        if (encoding.empty()) {
            text = file.bytes;
        } else {
            StringSource raw(file.bytes);
            DecodingSource decoded(raw, encoding);
            char buffer[1 << 16];
            while (const std::size_t n = decoded.Read(buffer, sizeof buffer))
                text.append(buffer, n);
        }
    } catch (const IoError& e) {
        message_->setText(FromUtf8(e.what()));
        return false;
    }
    (tabs_->currentIndex() == 0 ? legPoints_ : areaPoints_)->setPlainText(FromUtf8(text));
    return true;
}

bool MeasureDialog::MakeJob(MeasureJob& m) {
    m.pairs = pairs_->isChecked();
    const QString lo = meridian_->text().trimmed();
    m.projected = !lo.isEmpty();
    if (!m.projected) return true;
    m.job.mode = Computation::Inverse;
    m.job.geodesy = ProjectionOf(settings_);
    std::vector<Diagnostic> warnings;
    std::optional<JobRefusal> refusal = CheckJob(m.job);
    if (!refusal) refusal = SetMeridians(m.job, lo.toStdString(), std::nullopt, warnings);
    if (refusal) {
        message_->setText(FromUtf8(refusal->words));
        return false;
    }
    return true;
}

bool MeasureDialog::ReadPoints(const MeasureJob& m, const QString& text,
                               std::vector<MeasurePoint>& points) {
    StringSource in(text.toStdString());
    MeasurePoints read = ReadMeasurePoints(m, in);
    if (read.badLine != 0) {
        message_->setText(
            QStringLiteral("第 %1 行：%2").arg(read.badLine).arg(FromUtf8(read.problem)));
        return false;
    }
    points = std::move(read.points);
    return true;
}

void MeasureDialog::Compute() {
    message_->clear();
    legs_->setRowCount(0);
    areaResult_->clear();
    MeasureJob m;
    std::vector<MeasurePoint> points;
    const bool distance = tabs_->currentIndex() == 0;
    if (!MakeJob(m) ||
        !ReadPoints(m, (distance ? legPoints_ : areaPoints_)->toPlainText(), points)) {
        return;
    }
    if (distance) {
        ComputeLegs(m, points);
    } else {
        ComputeArea(m, points);
    }
}

void MeasureDialog::ComputeLegs(const MeasureJob& m, const std::vector<MeasurePoint>& points) {
    const Legs legs = MeasureLegs(m, points);
    const QStringList captions = LegCaptions(m.projected);
    legs_->setColumnCount(static_cast<int>(captions.size()));
    legs_->setHorizontalHeaderLabels(captions);
    legs_->setRowCount(static_cast<int>(legs.legs.size()));
    QStringList notes;
    for (std::size_t row = 0; row < legs.legs.size(); ++row) {
        const std::vector<std::string> cells = LegCells(m, points, legs.legs[row]);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(FromUtf8(cells[c]));
            if (c >= 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            legs_->setItem(static_cast<int>(row), static_cast<int>(c), item);
        }
        if (const std::string w = LegWarning(points, legs.legs[row]); !w.empty()) {
            notes << FromUtf8(w);
        }
    }
    if (legs.unpaired) {
        notes << FromUtf8(Fill(Tr("{0} is left without a partner: --pairs takes the points two by "
                                  "two"),
                               {Quoted(points[*legs.unpaired].name)}));
    }
    message_->setText(notes.join(QLatin1Char('\n')));
}

void MeasureDialog::ComputeArea(const MeasureJob& m, const std::vector<MeasurePoint>& points) {
    if (points.empty()) return;
    const PolygonMeasure p = MeasurePolygon(m, points);
    if (!p.refusal.empty()) {
        message_->setText(FromUtf8(p.refusal));
        return;
    }
    areaResult_->setText(FromUtf8(AreaSummary(p)).trimmed());
}

}  // namespace quorvel
