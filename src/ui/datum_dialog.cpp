#include "ui/datum_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/atomic_file.h"
#include "core/ellipsoid.h"
#include "core/errors.h"
#include "core/messages.h"
#include "engine/datum/datum_operation.h"
#include "engine/datum/transform_checks.h"
#include "engine/reading/text_io.h"
#include "print/file_names.h"
#include "print/qt_messages.h"
#include "ui/datum_models.h"
#include "ui/file_job.h"
#include "ui/job_runner.h"
#include "ui/point_file_dialog.h"
#include "ui/qt_io.h"
#include "ui/results_window.h"

namespace quorvel {
namespace {

const SystemKind kKinds[] = {SystemKind::Plane, SystemKind::Geodetic, SystemKind::Geocentric};
const DatumModel kModels[] = {DatumModel::Seven, DatumModel::Four, DatumModel::Three};
const RotationConvention kConventions[] = {RotationConvention::CoordinateFrame,
                                           RotationConvention::PositionVector};

template <typename T, std::size_t N>
int IndexOf(const T (&list)[N], T value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (list[i] == value) return static_cast<int>(i);
    }
    return 0;
}

QString Number(double v, int decimals) {
    return std::isnan(v) ? QStringLiteral("—") : QString::number(v, 'f', decimals);
}

// Rows of the height of a line of text, and room for at least eight of them with the header.
void ShowEightRows(QTableView* table) {
    const int row = table->fontMetrics().height() + 6;
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(row);
    const int header =
        std::max(table->horizontalHeader()->sizeHint().height(), table->fontMetrics().height() + 8);
    table->setMinimumHeight(header + 8 * row + 2 * table->frameWidth());
}

// A row of buttons, none of which Enter presses, in the keyboard order they are given.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons, std::vector<QWidget*>& order) {
    auto* row = new QHBoxLayout;
    for (QPushButton* b : buttons) {
        b->setAutoDefault(false);
        row->addWidget(b);
        order.push_back(b);
    }
    return row;
}

}  // namespace

DatumDialog::DatumDialog(QWidget* parent)
    : QDialog(parent),
      heights_(new QCheckBox(QStringLiteral("含高程 H(&H)"), this)),
      model_(new QComboBox(this)),
      convention_(new QComboBox(this)),
      heightModel_(new QComboBox(this)),
      pointsView_(new QTableView(this)),
      residualView_(new QTableView(this)),
      parametersText_(new QLabel(this)),
      checkText_(new QLabel(this)),
      message_(new QLabel(this)),
      copyPipeline_(new QPushButton(QStringLiteral("复制 PROJ 管道(&J)"), this)),
      points_(new CommonPointsModel(this)),
      residuals_(new ResidualModel(this)),
      runner_(new JobRunner(this)) {
    setWindowTitle(QStringLiteral("坐标转换"));
    // The settings, points and results scroll on a small screen; the message and the file
    // buttons stay in sight below them.
    auto* body = new QWidget(this);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    // Keyboard order is the layout's: the systems, the model, the points and their buttons, the
    // residuals, the files.
    std::vector<QWidget*> order;
    bodyLayout->addLayout(BuildSystems(order));
    bodyLayout->addLayout(BuildModelRow(order));
    BuildPoints(*bodyLayout, order);
    BuildResults(*bodyLayout, order);
    scroll_ = ScrollingBody(this, body);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll_, 1);
    message_->setWordWrap(true);
    layout->addWidget(message_);
    layout->addLayout(BuildFileButtons(order));
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    from_.ellipsoid->setFocus();

    Recall(*std::make_unique<QSettings>(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")));
    UpdateLayout();
    ConnectChanges();
    UpdateButtons();
    ResizeWithinScreen(*this, QSize(1000, 900));  // room for both tables where there is
}

void DatumDialog::ConnectChanges() {
    const auto changed = [this] { ClearResults(); };
    for (const Side* s : {&from_, &to_}) {
        for (QComboBox* box : {s->ellipsoid, s->kind, s->zones})
            connect(box, &QComboBox::currentIndexChanged, this, changed);
        connect(s->meridian, &QLineEdit::textChanged, this, changed);
    }
    connect(model_, &QComboBox::currentIndexChanged, this, changed);
    connect(convention_, &QComboBox::currentIndexChanged, this, changed);
    connect(heightModel_, &QComboBox::currentIndexChanged, this, changed);
    connect(heights_, &QCheckBox::toggled, this, changed);
    connect(points_, &QAbstractItemModel::dataChanged, this, changed);
    connect(points_, &QAbstractItemModel::rowsInserted, this, changed);
    connect(points_, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(points_, &QAbstractItemModel::modelReset, this, changed);
}

QHBoxLayout* DatumDialog::BuildSystems(std::vector<QWidget*>& order) {
    auto* systems = new QHBoxLayout;
    auto* fromBox = new QGroupBox(QStringLiteral("源坐标系"), this);
    auto* toBox = new QGroupBox(QStringLiteral("目标坐标系"), this);
    from_ = MakeSide(QStringLiteral("源"), fromBox);
    to_ = MakeSide(QStringLiteral("目标"), toBox);
    systems->addWidget(fromBox);
    systems->addWidget(toBox);
    for (const Side* s : {&from_, &to_})
        order.insert(order.end(), {s->ellipsoid, s->kind, s->zones, s->meridian});
    return systems;
}

QHBoxLayout* DatumDialog::BuildModelRow(std::vector<QWidget*>& order) {
    auto* modelRow = new QHBoxLayout;
    model_->addItems({QStringLiteral("七参数（布尔沙）"), QStringLiteral("四参数（平面）"),
                      QStringLiteral("三参数（平移）")});
    convention_->addItems({QStringLiteral("坐标框架（国家规范）"), QStringLiteral("位置矢量")});
    auto* modelLabel = new QLabel(QStringLiteral("模型(&M)："), this);
    modelLabel->setBuddy(model_);
    auto* conventionLabel = new QLabel(QStringLiteral("旋转约定(&R)："), this);
    conventionLabel->setBuddy(convention_);
    modelRow->addWidget(modelLabel);
    modelRow->addWidget(model_);
    modelRow->addWidget(conventionLabel);
    modelRow->addWidget(convention_);
    modelRow->addWidget(heights_);
    heightModel_->addItems(HeightChoiceNames());
    auto* heightLabel = new QLabel(QStringLiteral("高程拟合(&G)："), this);
    heightLabel->setBuddy(heightModel_);
    modelRow->addWidget(heightLabel);
    modelRow->addWidget(heightModel_);
    modelRow->addStretch();
    connect(heightModel_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (heightModel_->isEnabled()) heightModelWanted_ = index;
        UpdateLayout();
    });
    connect(heights_, &QCheckBox::toggled, this, [this](bool on) {
        if (heights_->isEnabled()) heightsWanted_ = on;
        UpdateLayout();
    });
    connect(model_, &QComboBox::currentIndexChanged, this, &DatumDialog::UpdateHeights);
    order.insert(order.end(), {model_, convention_, heights_, heightModel_});
    return modelRow;
}

void DatumDialog::BuildPoints(QVBoxLayout& layout, std::vector<QWidget*>& order) {
    auto* pointsLabel = new QLabel(
        QStringLiteral("公共点(&P)（Ctrl+V 粘贴表格中的行；勾选=参与，不勾=检核）："), this);
    pointsLabel->setBuddy(pointsView_);
    layout.addWidget(pointsLabel);
    pointsView_->setModel(points_);
    pointsView_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ShowEightRows(pointsView_);
    layout.addWidget(pointsView_, 1);
    auto* pasteKey = new QShortcut(QKeySequence::Paste, pointsView_);
    pasteKey->setContext(Qt::WidgetShortcut);
    connect(pasteKey, &QShortcut::activated, this, &DatumDialog::Paste);
    order.push_back(pointsView_);

    auto* paste = new QPushButton(QStringLiteral("粘贴(&V)"), this);
    auto* open = new QPushButton(QStringLiteral("打开公共点文件(&O)…"), this);
    auto* clear = new QPushButton(QStringLiteral("清空(&E)"), this);
    auto* compute = new QPushButton(QStringLiteral("计算参数(&C)"), this);
    compute->setShortcut(QKeySequence(Qt::Key_F5));
    connect(paste, &QPushButton::clicked, this, &DatumDialog::Paste);
    connect(open, &QPushButton::clicked, this, &DatumDialog::OpenPoints);
    connect(clear, &QPushButton::clicked, points_, &CommonPointsModel::Clear);
    connect(compute, &QPushButton::clicked, this, &DatumDialog::Compute);
    QHBoxLayout* buttons = ButtonRow({paste, open, clear, compute}, order);
    buttons->addStretch();
    layout.addLayout(buttons);
}

void DatumDialog::BuildResults(QVBoxLayout& layout, std::vector<QWidget*>& order) {
    parametersText_->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                             Qt::TextSelectableByKeyboard);
    parametersText_->setFont(QFont(QStringLiteral("monospace")));
    parametersText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* residualLabel = new QLabel(
        QStringLiteral("残差(&S)（红色：超过 3 倍中误差；取消勾选即改为检核并重算）："), this);
    residualLabel->setBuddy(residualView_);
    layout.addWidget(residualLabel);
    residualView_->setModel(residuals_);
    residualView_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ShowEightRows(residualView_);
    // The parameters beside the residuals: both in the height of eight rows.
    auto* results = new QHBoxLayout;
    results->addWidget(parametersText_);
    results->addWidget(residualView_, 1);
    layout.addLayout(results, 1);
    layout.addWidget(checkText_);
    connect(residuals_, &ResidualModel::useChanged, this, [this](int row, bool fitted) {
        points_->SetCheck(row, !fitted);
        Compute();
    });
    order.push_back(residualView_);
}

QHBoxLayout* DatumDialog::BuildFileButtons(std::vector<QWidget*>& order) {
    save_ = new QPushButton(QStringLiteral("保存参数(&A)…"), this);
    auto* load = new QPushButton(QStringLiteral("载入参数(&L)…"), this);
    convert_ = new QPushButton(QStringLiteral("转换文件(&T)…"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(save_, &QPushButton::clicked, this, &DatumDialog::SaveParameters);
    connect(load, &QPushButton::clicked, this, &DatumDialog::LoadParameters);
    connect(convert_, &QPushButton::clicked, this, &DatumDialog::ConvertPoints);
    connect(copyPipeline_, &QPushButton::clicked, this, &DatumDialog::CopyPipeline);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    QHBoxLayout* buttons = ButtonRow({save_, load, convert_, copyPipeline_, close}, order);
    buttons->insertStretch(4);  // 关闭 on its own at the right
    return buttons;
}

DatumDialog::Side DatumDialog::MakeSide(const QString& title, QWidget* box) {
    Side s{new QComboBox(box), new QComboBox(box), new QComboBox(box), new QLineEdit(box)};
    for (const EllipsoidEntry& e : EllipsoidCatalogue()) {
        s.ellipsoid->addItem(QString::fromUtf8(e.chinese.data(), qsizetype(e.chinese.size())),
                             QString::fromUtf8(e.key.data(), qsizetype(e.key.size())));
    }
    s.kind->addItems({QStringLiteral("平面 X, Y"), QStringLiteral("大地 L, B（度.分秒）"),
                      QStringLiteral("空间直角 X, Y, Z")});
    s.zones->addItems({QStringLiteral("中央子午线（Y 不含带号）"),
                       QStringLiteral("3° 带（Y 前含带号）"),
                       QStringLiteral("6° 带（Y 前含带号）")});
    s.meridian->setText(QStringLiteral("117"));
    s.ellipsoid->setAccessibleName(title + QStringLiteral("椭球"));
    s.kind->setAccessibleName(title + QStringLiteral("坐标类型"));
    s.zones->setAccessibleName(title + QStringLiteral("投影带"));
    s.meridian->setAccessibleName(title + QStringLiteral("中央子午线"));
    s.meridian->setToolTip(
        QStringLiteral("度.分秒，如 117；投影面高程（米）写在冒号后，如 117:1070"));
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("椭球："), s.ellipsoid);
    form->addRow(QStringLiteral("坐标："), s.kind);
    form->addRow(QStringLiteral("分带："), s.zones);
    form->addRow(QStringLiteral("中央子午线（度.分秒）："), s.meridian);
    const auto changed = [this] { UpdateLayout(); };
    connect(s.kind, &QComboBox::currentIndexChanged, this, changed);
    connect(s.zones, &QComboBox::currentIndexChanged, this, changed);
    connect(s.ellipsoid, &QComboBox::currentIndexChanged, this, changed);
    return s;
}

CoordinateSystem DatumDialog::SystemOf(const Side& side) const {
    const SystemKind kind = kKinds[side.kind->currentIndex()];
    std::string text = std::string(SystemKindName(kind)) + ":" +
                       side.ellipsoid->currentData().toString().toStdString();
    if (kind == SystemKind::Plane) {
        const int z = side.zones->currentIndex();
        text += ":" + (z == 1   ? std::string("zone3")
                       : z == 2 ? std::string("zone6")
                                : side.meridian->text().trimmed().toStdString());
    }
    return ParseCoordinateSystem(text);
}

void DatumDialog::SetSide(const Side& side, const CoordinateSystem& system) {
    const QString key = QString::fromStdString(system.ellipsoid.name);
    int e = side.ellipsoid->findData(key, Qt::UserRole, Qt::MatchFixedString);
    if (e < 0) {
        side.ellipsoid->addItem(key, key);
        e = side.ellipsoid->count() - 1;
    }
    side.ellipsoid->setCurrentIndex(e);
    side.kind->setCurrentIndex(IndexOf(kKinds, system.kind));
    if (system.kind == SystemKind::Plane) {
        if (system.zoneWidth) {
            side.zones->setCurrentIndex(system.where == "zone3" ? 1 : 2);
        } else {
            side.zones->setCurrentIndex(0);
            // The projection height rides after the meridian, as the system's text writes it:
            // plane:…:117:1070 shows "117:1070".
            const std::string text = SystemText(system);
            side.meridian->setText(
                QString::fromStdString(text.substr(text.find(':', text.find(':') + 1) + 1)));
        }
    }
}

CoordinateSystem DatumDialog::Source() const {
    return SystemOf(from_);
}

CoordinateSystem DatumDialog::Target() const {
    return SystemOf(to_);
}

bool DatumDialog::Heights() const {
    return heights_->isChecked();
}

FitOptions DatumDialog::Options() const {
    FitOptions o;
    o.model = kModels[model_->currentIndex()];
    o.convention = kConventions[convention_->currentIndex()];
    o.heights = Heights();
    return o;
}

void DatumDialog::SetChoices(const CoordinateSystem& from, const CoordinateSystem& to, bool heights,
                             DatumModel model, RotationConvention convention) {
    SetSide(from_, from);
    SetSide(to_, to);
    heightsWanted_ = heights;
    model_->setCurrentIndex(IndexOf(kModels, model));
    convention_->setCurrentIndex(IndexOf(kConventions, convention));
    UpdateHeights();
    UpdateLayout();
}

void DatumDialog::UpdateHeights() {
    const bool four = kModels[model_->currentIndex()] == DatumModel::Four;
    if (four) {
        heights_->setEnabled(false);
        heights_->setChecked(false);
        heights_->setToolTip(
            QtMessage(Tr("The 4-parameter model is a plane one: it carries no heights")));
    } else {
        heights_->setEnabled(true);
        heights_->setChecked(heightsWanted_);
        heights_->setToolTip({});
    }
}

void DatumDialog::UpdateHeightModel() {
    const bool plane = to_.kind->currentIndex() == 0;
    const QSignalBlocker block(heightModel_);
    heightModel_->setEnabled(plane);
    heightModel_->setCurrentIndex(plane ? heightModelWanted_ : 0);
    heightModel_->setToolTip(
        plane ? QString()
              : QStringLiteral("高程拟合在目标坐标系的平面 X, Y 上拟合高程异常：目标须为平面坐标"));
}

std::vector<std::string> DatumDialog::HeightNames() const {
    std::optional<HeightModelKind> kind;
    if (!HeightChoiceFits(heightModel_->currentIndex(), kind)) return {};
    return {"h", "H"};
}

const HeightFitResult* DatumDialog::heightFit() const {
    return heightFit_ ? &heightFit_->result : nullptr;
}

bool DatumDialog::FitHeights(const std::vector<CommonPoint>& points,
                             const std::vector<std::array<double, 2>>& heights) {
    heightFit_.reset();
    std::optional<HeightModelKind> kind;
    if (!HeightChoiceFits(heightModel_->currentIndex(), kind)) return true;
    DialogHeightFit fit;
    if (auto refusal = FitDialogHeights(points, heights, kind, Options().outlierFactor, fit)) {
        ClearResults();
        Say(*refusal, true);
        return false;
    }
    heightFit_ = std::move(fit);
    residuals_->SetHeights(&heightFit_->result, heightFit_->index, Options().outlierFactor);
    const HeightFitResult& h = heightFit_->result;
    parametersText_->setText(parametersText_->text() + QStringLiteral("\n\n") +
                             HeightModelLines(h.model,
                                              h.redundancy > 0 ? &h.standardErrors : nullptr,
                                              h.sigma0, h.used));
    return true;
}

void DatumDialog::ShowFile(const ParameterFile& f) {
    QString text;
    if (f.datum) {
        ShowParameters(f.parameters, nullptr, f.sigma0);
        text = parametersText_->text();
    }
    if (f.height) {
        if (!text.isEmpty()) text += QStringLiteral("\n\n");
        text += HeightModelLines(*f.height, nullptr, f.heightSigma0, f.heightPoints);
    }
    parametersText_->setText(text);
}

void DatumDialog::ClearResults() {
    const bool had = parameters_.has_value() || residuals_->rowCount() > 0;
    fit_.reset();
    heightFit_.reset();
    parameters_.reset();
    parameterPath_.clear();
    if (residuals_->rowCount() > 0) residuals_->SetResult({}, SystemKind::Plane, false);
    parametersText_->clear();
    checkText_->clear();
    UpdateButtons();
    if (had) {
        Say(QtMessage(Tr("The settings or points changed: the results were cleared. Compute "
                         "the parameters again (F5).")),
            false);
    }
}

void DatumDialog::UpdateButtons() {
    save_->setEnabled(fit_.has_value());
    convert_->setEnabled(parameters_.has_value());
    copyPipeline_->setEnabled(parameters_ && !parameters_->proj.empty());
}

void DatumDialog::UpdateLayout() {
    UpdateHeightModel();
    for (const Side* s : {&from_, &to_}) {
        const bool plane = s->kind->currentIndex() == 0;
        s->zones->setEnabled(plane);
        s->meridian->setEnabled(plane && s->zones->currentIndex() == 0);
    }
    try {
        const CoordinateSystem from = Source(), to = Target();
        points_->SetLayout(engine::DefaultLayout(from, &to, Heights(), HeightNames()));
    } catch (const Error& e) {
        Say(QString::fromStdString(e.what()), true);
    }
}

QString DatumDialog::message() const {
    return message_->text();
}

void DatumDialog::Say(const QString& text, bool error) {
    message_->setStyleSheet(error ? QStringLiteral("color: red") : QString());
    message_->setText(text);
}

void DatumDialog::ShowParameters(const DatumParameters& p, const DatumParameters* se,
                                 double sigma0) {
    const auto line = [&](const QString& name, double v, double e, const QString& unit,
                          int decimals) {
        QString s =
            QStringLiteral("%1 = %2 %3").arg(name, -4).arg(Number(v, decimals), 16).arg(unit, -3);
        if (se != nullptr) s += QStringLiteral("  中误差 %1 %2").arg(Number(e, decimals), unit);
        return s + QLatin1Char('\n');
    };
    const DatumParameters none;
    const DatumParameters& e = se != nullptr ? *se : none;
    QString text;
    text += line(QStringLiteral("ΔX"), p.dx, e.dx, QStringLiteral("m"), 4);
    text += line(QStringLiteral("ΔY"), p.dy, e.dy, QStringLiteral("m"), 4);
    if (p.model != DatumModel::Four)
        text += line(QStringLiteral("ΔZ"), p.dz, e.dz, QStringLiteral("m"), 4);
    if (p.model == DatumModel::Seven) {
        text += line(QStringLiteral("rx"), p.rx, e.rx, QStringLiteral("″"), 6);
        text += line(QStringLiteral("ry"), p.ry, e.ry, QStringLiteral("″"), 6);
        text += line(QStringLiteral("rz"), p.rz, e.rz, QStringLiteral("″"), 6);
        text += line(QStringLiteral("ds"), p.ds, e.ds, QStringLiteral("ppm"), 6);
    } else if (p.model == DatumModel::Four) {
        text += line(QStringLiteral("α"), p.rotation, e.rotation, QStringLiteral("″"), 6);
        text += line(QStringLiteral("m"), p.scale, e.scale, QStringLiteral("ppm"), 6);
    }
    text += QStringLiteral("单位权中误差 σ0 = %1 mm").arg(Number(sigma0 * 1000, 1));
    parametersText_->setText(text);
}

void DatumDialog::Compute() {
    std::vector<CommonPoint> points;
    std::vector<std::array<double, 2>> heights;
    QString error;
    if (!points_->Points(points, error, &heights)) {
        ClearResults();
        Say(error, true);
        return;
    }
    try {
        const CoordinateSystem from = Source(), to = Target();
        const FitOptions options = Options();
        FitResult r = FitDatum(from, to, points, options);
        // Kept only once the height model is fitted too: its refusal leaves nothing of either.
        residuals_->SetResult(r, to.kind, options.heights);
        ShowParameters(r.parameters, r.redundancy > 0 ? &r.standardErrors : nullptr, r.sigma0);
        if (!FitHeights(points, heights)) return;
        fit_ = r;
        fitFrom_ = from;
        fitTo_ = to;
        fitHeights_ = options.heights;
        parameterPath_.clear();
        ParameterFile f = ReadParameterFile(ParameterText());
        parameters_ = f;
        QString rms;
        if (r.checked > 0) {
            rms = QStringLiteral("检核点 %1 个，较差中误差：平面 %2 mm")
                      .arg(r.checked)
                      .arg(Number(r.checkPlaneRms * 1000, 1));
            if (!std::isnan(r.checkRms[2])) {
                rms += QStringLiteral("，高程 %1 mm").arg(Number(r.checkRms[2] * 1000, 1));
            }
        } else {
            rms = QStringLiteral("无检核点");
        }
        if (heightFit_ && heightFit_->result.checked > 0) {
            rms += QStringLiteral("；高程拟合检核点 %1 个，较差中误差 %2 mm")
                       .arg(heightFit_->result.checked)
                       .arg(Number(heightFit_->result.checkRms * 1000, 1));
        }
        checkText_->setText(rms);
        UpdateButtons();
        SayVerdict(r, options.outlierFactor);
        if (heightFit_) {
            Say(message() + u'\n' + HeightVerdict(heightFit_->result, options.outlierFactor),
                false);
        }
        scroll_->ensureWidgetVisible(residualView_);
        Remember(
            *std::make_unique<QSettings>(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")));
    } catch (const Error& e) {
        ClearResults();
        Say(QString::fromStdString(e.what()), true);
    }
}

void DatumDialog::SayVerdict(const FitResult& r, double factor) {
    int flagged = 0;
    for (const PointResidual& p : r.points) flagged += p.flagged ? 1 : 0;
    const QString k = QString::number(factor);
    const QString used = QString::number(r.used);
    // Without redundancy σ0 is undefined and nothing is tested: no verdict.
    if (std::isnan(r.sigma0) || r.redundancy <= 0) {
        Say(QtMessage(Tr("{0} points take part; without redundancy σ0 is undefined and the "
                         "residuals are not tested"),
                      {used}),
            false);
    } else if (flagged > 0) {
        Say(QtMessage(Tr("{0} points take part; {1} beyond {2} times their standard error and "
                         "1 mm (K = {2}, red)"),
                      {used, QString::number(flagged), k}),
            false);
    } else {
        Say(QtMessage(Tr("{0} points take part; no residual beyond {1} times its standard error "
                         "and 1 mm (K = {1})"),
                      {used, k}),
            false);
    }
}

std::string DatumDialog::ParameterText() const {
    if (!fit_) return {};
    return engine::FitParameterText(fitFrom_, fitTo_, fitHeights_, *fit_,
                                    heightFit_ ? &heightFit_->result : nullptr);
}

bool DatumDialog::SaveParametersTo(const QString& path, QString& error) const {
    if (!fit_) {
        error = QStringLiteral("还没有计算参数");
        return false;
    }
    try {
        AtomicFile file(EngineFileName(path));
        engine::FdSink sink(file.fd(), path.toStdString());
        engine::OutputBuffer out(sink);
        out.Append(ParameterText());
        out.Flush();
        file.Commit();
    } catch (const IoError& e) {
        error = e.code() != 0 ? QString::fromLocal8Bit(std::strerror(e.code()))
                              : QString::fromStdString(e.what());
        return false;
    }
    return true;
}

bool DatumDialog::LoadParametersFrom(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("无法打开 %1：%2").arg(path, file.errorString());
        return false;
    }
    // Read as transform reads it: a file too large to be one is refused, not cut.
    std::string text;
    if (const auto refusal = engine::ReadParameterText(path.toStdString(), text)) {
        error = QString::fromStdString(ShownMessage(refusal->words));
        return false;
    }
    try {
        ParameterFile f = ReadParameterFile(text);
        // Zoned coordinates have no field that could show a projection height: refused rather
        // than dropped at the next fit.
        for (const CoordinateSystem* side : {&f.from, &f.to}) {
            if (f.datum && side->HasZones() && side->projectionHeight != 0) {
                error = QStringLiteral(
                            "%1 的 %2 带投影面高程：本窗口只能在中央子午线后写投影面高程，"
                            "带号坐标的请用 quorvel-batch transform 转换")
                            .arg(path, QString::fromStdString(SystemText(*side)));
                return false;
            }
        }
        // A height model alone names no systems: the choices shown stay.
        if (f.datum)
            SetChoices(f.from, f.to, f.heights, f.parameters.model, f.parameters.convention);
        // The height model shown is the file's, none when it has none.
        heightModelWanted_ = f.height ? HeightChoiceOf(f.height->kind) : 0;
        UpdateLayout();
        ClearResults();
        ShowFile(f);
        parameters_ = f;
        parameterPath_ = path;
        UpdateButtons();
        RememberParameterFile(path);
    } catch (const Error& e) {
        error = QString::fromStdString(ShownMessage(e.what()));
        return false;
    }
    return true;
}

void DatumDialog::Paste() {
    const int added = points_->PasteRows(QApplication::clipboard()->text());
    Say(added > 0 ? QStringLiteral("粘贴了 %1 个点").arg(added)
                  : QStringLiteral("剪贴板里没有点：每行应是点名和坐标，以制表符分隔"),
        added == 0);
}

void DatumDialog::OpenPoints() {
    QFileDialog dialog(this, QStringLiteral("打开公共点文件"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(PointFileFilters());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().constFirst();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Say(QStringLiteral("无法打开 %1：%2").arg(file.fileName(), file.errorString()), true);
        return;
    }
    QStringList shown;
    for (const std::string& n : points_->coordinateNames()) shown << QString::fromStdString(n);
    PointFileDialog columns(path, QStringLiteral("公共点文件的各列"), points_->coordinateNames(),
                            shown, QStringLiteral("忽略"), this);
    if (columns.exec() != QDialog::Accepted) return;
    OpenPointsAs(path, columns.choice());
}

void DatumDialog::OpenPointsAs(const QString& path, const PointFileChoice& choice) {
    points_->Clear();
    std::vector<std::uint64_t> unread;
    int added = 0;
    try {
        added = points_->ReadFile(path, choice, unread);
    } catch (const Error& e) {
        Say(QString::fromStdString(e.what()), true);
        return;
    }
    QString said = QStringLiteral("读入 %1 个点").arg(added);
    if (!unread.empty()) {
        QStringList lines;
        for (std::uint64_t n : unread) lines << QString::number(n);
        said += QStringLiteral("；第 %1 行读不出（编码或引号不对），未读入")
                    .arg(lines.join(QStringLiteral("、")));
    }
    Say(said, added == 0 || !unread.empty());
}

void DatumDialog::SaveParameters() {
    QFileDialog dialog(this, QStringLiteral("保存参数"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilters(
        {QStringLiteral("参数文件 (*.txt *.par)"), QStringLiteral("所有文件 (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString error;
    const QString path = dialog.selectedFiles().constFirst();
    if (SaveParametersTo(path, error)) {
        parameterPath_ = path;
        RememberParameterFile(path);
        Say(QStringLiteral("参数已保存到 %1").arg(path), false);
    } else {
        Say(error, true);
    }
}

void DatumDialog::LoadParameters() {
    QFileDialog dialog(this, QStringLiteral("载入参数"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString error;
    const QString path = dialog.selectedFiles().constFirst();
    if (LoadParametersFrom(path, error)) {
        Say(QStringLiteral("已载入 %1").arg(path), false);
    } else {
        Say(error, true);
    }
}

void DatumDialog::CopyPipeline() {
    if (!parameters_ || parameters_->proj.empty()) return;
    QApplication::clipboard()->setText(QString::fromStdString(parameters_->proj));
    Say(QStringLiteral("PROJ 管道已复制"), false);
}

void DatumDialog::Remember(QSettings& settings) const {
    try {
        settings.setValue(QStringLiteral("datum/from"),
                          QString::fromStdString(SystemText(Source())));
        settings.setValue(QStringLiteral("datum/to"), QString::fromStdString(SystemText(Target())));
    } catch (const Error&) {
    }
    settings.setValue(QStringLiteral("datum/heights"), heightsWanted_);
    settings.setValue(QStringLiteral("datum/model"), model_->currentIndex());
    settings.setValue(QStringLiteral("datum/convention"), convention_->currentIndex());
    settings.setValue(QStringLiteral("datum/heightModel"), heightModelWanted_);
}

void DatumDialog::Recall(const QSettings& settings) {
    try {
        const QString from = settings.value(QStringLiteral("datum/from")).toString();
        const QString to = settings.value(QStringLiteral("datum/to")).toString();
        if (!from.isEmpty()) SetSide(from_, ParseCoordinateSystem(from.toStdString()));
        // The usual target, until another was chosen.
        SetSide(to_, ParseCoordinateSystem(to.isEmpty() ? std::string("plane:cgcs2000:117")
                                                        : to.toStdString()));
    } catch (const Error&) {
    }
    heightsWanted_ = settings.value(QStringLiteral("datum/heights"), false).toBool();
    model_->setCurrentIndex(
        std::clamp(settings.value(QStringLiteral("datum/model"), 0).toInt(), 0, 2));
    convention_->setCurrentIndex(
        std::clamp(settings.value(QStringLiteral("datum/convention"), 0).toInt(), 0, 1));
    heightModelWanted_ =
        std::clamp(settings.value(QStringLiteral("datum/heightModel"), 0).toInt(), 0, 4);
    UpdateHeights();
    UpdateHeightModel();
}

void DatumDialog::RememberParameterFile(const QString& path) const {
    QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel"))
        .setValue(QStringLiteral("datum/parameterFile"), QFileInfo(path).absoluteFilePath());
}

void DatumDialog::done(int result) {
    Remember(*std::make_unique<QSettings>(QStringLiteral("Quorvel"), QStringLiteral("Quorvel")));
    QDialog::done(result);
}

}  // namespace quorvel
